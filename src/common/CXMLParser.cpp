#include "common/CXMLParser.h"

#include <pugixml.hpp>

#include <filesystem>
#include <system_error>

namespace talvex {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsTextNode(const pugi::xml_node& node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

void AppendDescendantText(const pugi::xml_node& node, std::string& text) {
    for (const pugi::xml_node& child : node.children()) {
        if (IsTextNode(child))
            text += child.value();
        else if (child.type() == pugi::node_element)
            AppendDescendantText(child, text);
    }
}

std::string TrimBlanks(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// All text below the selected node, as a DOM's text property gives it: outer white space trimmed.
std::string TextOf(const pugi::xpath_node& selected) {
    if (selected.attribute())
        return TrimBlanks(selected.attribute().value());
    const pugi::xml_node node = selected.node();
    if (IsTextNode(node))
        return TrimBlanks(node.value());
    std::string text;
    AppendDescendantText(node, text);
    return TrimBlanks(text);
}

} // namespace

CXMLParser::CXMLParser() = default;

CXMLParser::~CXMLParser() { Unload(); }

bool CXMLParser::Load(const std::string& path) {
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error))
        return false;
    CAutoLock lock(m_lock);
    if (m_loaded)
        return false;
    auto document = std::make_unique<pugi::xml_document>();
    if (!document->load_file(path.c_str()))
        return false;
    m_document = std::move(document);
    m_path = path;
    m_loaded = true;
    return true;
}

std::string CXMLParser::GetValue(const std::string& xpath) {
    CAutoLock lock(m_lock);
    if (!m_loaded)
        return {};
    try {
        return TextOf(m_document->select_node(xpath.c_str()));
    } catch (const pugi::xpath_exception&) {
        // A path that is not valid XPath (an address with a quote, say) selects nothing.
        return {};
    }
}

void CXMLParser::Unload() {
    CAutoLock lock(m_lock);
    m_document.reset();
    m_path.clear();
    m_loaded = false;
}

} // namespace talvex
