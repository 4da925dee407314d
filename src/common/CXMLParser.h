// The configuration file reader: load once, read values by simple XPath.
#pragma once

#include "common/CRecursiveLock.h"

#include <memory>
#include <string>

namespace pugi {
class xml_document;
}

namespace talvex {

class CXMLParser {
public:
    CXMLParser();
    ~CXMLParser();

    // False for an empty path, a missing or malformed file, or when already loaded.
    bool Load(const std::string& path);
    // Text of the node the path selects; empty when none or nothing is loaded.
    std::string GetValue(const std::string& xpath);
    void Unload();
    bool IsLoaded() const { return m_loaded; }

private:
    bool m_loaded = false;
    std::string m_path;
    CRecursiveLock m_lock;
    std::unique_ptr<pugi::xml_document> m_document;
};

} // namespace talvex
