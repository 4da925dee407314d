// Host objects as a test host implements them: a debug sink that records every
// line, and device settings held in plain members. Only the public ABI headers
// are used, so host-side tests that load libfennwick.so can share them.
#pragma once

#include <talvex/ipcapture/DebugInfo.h>
#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace fennwick_test {

struct SinkLine {
    uint32_t level;
    std::string text;
    bool operator==(const SinkLine&) const = default;
};

class RecordingDebugSink : public talvex::ipcapture::IHostDebugSink {
public:
    void Message(const talvex::CDebugInfoIf* info) override {
        const char* text = info->GetText();
        std::lock_guard lock(m_mutex);
        m_lines.push_back({info->GetLevel(), text ? text : "<null>"});
    }
    std::vector<SinkLine> Lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    // Lines whose text starts with prefix.
    std::vector<SinkLine> LinesStartingWith(const std::string& prefix) const {
        std::vector<SinkLine> found;
        for (const auto& line : Lines())
            if (line.text.starts_with(prefix))
                found.push_back(line);
        return found;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_lines.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<SinkLine> m_lines;
};

// One object serves as settings, capacities and connection settings.
class FakeDeviceSettings : public talvex::ipcapture::IDeviceSettings,
                           public talvex::ipcapture::IDeviceCapacities,
                           public talvex::ipcapture::IDeviceConnectionSettings {
public:
    // A generation 6 camera with the two properties every open needs.
    FakeDeviceSettings() : parameters{{1, "0"}, {2, "6"}} {}

    talvex::ipcapture::IDeviceCapacities* GetCapacities() override { return this; }
    talvex::ipcapture::IDeviceConnectionSettings* GetConnectionSettings() override { return this; }
    const char* GetDeviceName() const override { return "test device"; }
    const char* GetParameter(uint32_t id) const override {
        askedIds.insert(id);
        auto it = parameters.find(id);
        return it == parameters.end() ? nullptr : it->second.c_str();
    }

    uint32_t GetDeviceType() const override { return 0; }
    const char* GetModelName() const override { return model.c_str(); }
    uint32_t GetVideoChannelCount() const override { return videoChannels; }
    uint32_t GetAudioChannelCount() const override { return 0; }
    uint32_t GetDigitalInputCount() const override { return inputs; }
    uint32_t GetDigitalOutputCount() const override { return outputs; }

    const char* GetAddress() const override { return address.c_str(); }
    uint16_t GetPort() const override { return port; }
    uint32_t GetConnectionFlags() const override { return 0; }
    uint32_t GetDefaultCodecType() const override { return codecType; }
    const char* GetUserName() const override { return user.c_str(); }
    const char* GetPassword() const override { return password.c_str(); }

    std::map<uint32_t, std::string> parameters;
    std::string model = "SNC-VB630";
    std::string address = "127.0.0.1";
    uint16_t port = 80;
    std::string user = "admin";
    std::string password = "secret";
    uint32_t codecType = 3;
    uint32_t videoChannels = 1;
    uint32_t inputs = 1;
    uint32_t outputs = 2;
    mutable std::set<uint32_t> askedIds;
};

} // namespace fennwick_test
