// Result of a failed operation: a code, a detail (such as an HTTP status) and a message.
#pragma once

#include <cstdint>
#include <string>

namespace talvex {

class CResultDef {
public:
    virtual ~CResultDef() = default;

    // Stores code and detail and formats the message (cleared when format is null).
    void SetResultEx(uint32_t code, uint32_t detail, const char* format, ...) __attribute__((format(printf, 4, 5)));
    uint32_t GetCode() const { return m_code; }
    uint32_t GetDetail() const { return m_detail; }
    const std::string& GetMessage() const { return m_message; }

private:
    uint32_t m_code = 0;
    uint32_t m_detail = 0;
    std::string m_message;
};

} // namespace talvex
