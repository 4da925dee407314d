// A video settings manager for channel tests: it applies nothing and names a
// fixed RTSP port.
#pragma once

#include "settings/IVideoSettingsManager.h"

#include <cstdint>

namespace talvex::test {

class FixedPortSettingsManager : public IVideoSettingsManager {
public:
    explicit FixedPortSettingsManager(uint16_t port) : m_port(port) {}
    bool SetStreamSettings(CEvent*, uint32_t, const VIDEO_STREAM_SETTINGS*) override { return true; }
    void Reset(bool) override {}
    uint16_t GetRTSPPort() override { return m_port; }

private:
    uint16_t m_port;
};

} // namespace talvex::test
