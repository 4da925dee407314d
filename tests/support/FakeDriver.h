// A minimal IDriver for unit tests: a fixed device record, stored properties
// and a thread-safe record of every log line.
#pragma once

#include "common/IDriver.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace talvex::test {

struct LogLine {
    uint32_t level;
    std::string text;
};

class FakeDriver : public IDriver {
public:
    explicit FakeDriver(std::string address = "127.0.0.1", uint16_t port = 80, std::string user = "admin",
                        std::string password = "admin")
        : m_device(std::move(address), port, std::move(user), std::move(password)) {}

    std::string GetDeviceTag() const override {
        return m_device.address + ":" + std::to_string(m_device.port);
    }
    void DebugMessage(uint32_t level, const char* format, ...) override {
        va_list args;
        va_start(args, format);
        va_list copy;
        va_copy(copy, args);
        int length = std::vsnprintf(nullptr, 0, format, copy);
        va_end(copy);
        std::string text(length > 0 ? size_t(length) : 0, '\0');
        if (length > 0)
            std::vsnprintf(text.data(), text.size() + 1, format, args);
        va_end(args);
        std::lock_guard lock(m_mutex);
        m_lines.push_back({level, std::move(text)});
    }
    std::string GetDriverName() const override { return "Fennwick"; }
    std::string GetHostDirectory() const override { return m_hostDirectory; }
    DEVICE_INFO* GetDeviceInfo() override { return &m_device; }
    std::pair<uint32_t, uint32_t> GetIOCounts() const override { return {m_inputs, m_outputs}; }
    ipcapture::IFrameAllocator* GetHostContext() const override { return m_allocator; }
    uint32_t GetVideoStandard() const override { return m_videoStandard; }
    uint32_t GetDefaultCodecType() const override { return m_defaultCodec; }
    uint32_t GetVideoChannelCount() const override { return m_videoChannels; }
    std::string GetParameterText(uint32_t id) const override {
        auto it = m_parameters.find(id);
        return it == m_parameters.end() || it->second == "(none)" ? std::string() : it->second;
    }
    int32_t GetParameterNumber(uint32_t id) const override {
        auto it = m_parameters.find(id);
        if (it == m_parameters.end() || it->second.empty())
            return kParameterMissing;
        char* end = nullptr;
        long value = std::strtol(it->second.c_str(), &end, 10);
        return *end ? kParameterMissing : int32_t(value);
    }
    std::pair<uint16_t, uint16_t> GetChannelPictureSize(uint32_t) const override { return {0, 0}; }
    void* GetSpareObject() const override { return nullptr; }

    std::vector<LogLine> Lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    // A line at level that holds text (the part of the message that matters).
    bool HasLine(uint32_t level, const std::string& text) const {
        std::lock_guard lock(m_mutex);
        for (const auto& line : m_lines)
            if (line.level == level && line.text.find(text) != std::string::npos)
                return true;
        return false;
    }
    void ClearLines() {
        std::lock_guard lock(m_mutex);
        m_lines.clear();
    }

    DEVICE_INFO m_device;
    std::map<uint32_t, std::string> m_parameters;
    std::string m_hostDirectory = "/tmp/";
    ipcapture::IFrameAllocator* m_allocator = nullptr;
    uint32_t m_inputs = 0, m_outputs = 0, m_videoStandard = 0, m_defaultCodec = 3, m_videoChannels = 1;

private:
    mutable std::mutex m_mutex;
    std::vector<LogLine> m_lines;
};

// Lines of a fake driver's log that contain text.
inline size_t CountLines(const FakeDriver& driver, const std::string& text) {
    size_t count = 0;
    for (const LogLine& line : driver.Lines())
        if (line.text.find(text) != std::string::npos)
            ++count;
    return count;
}

} // namespace talvex::test
