// One log message as the host's debug sink receives it.
#pragma once

#include <talvex/ipcapture/DebugInfo.h>

#include <cstdint>
#include <string>

namespace talvex {

class CDebugInfo : public CDebugInfoIf {
public:
    CDebugInfo(uint8_t level, std::string text) : m_level(level), m_text(std::move(text)) {}

    uint8_t GetLevel() const override { return m_level; }
    const char* GetText() const override { return m_text.empty() ? nullptr : m_text.c_str(); }

private:
    uint8_t m_level;
    std::string m_text;
};

} // namespace talvex
