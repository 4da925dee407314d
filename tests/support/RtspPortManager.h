// The settings-manager stand-in of the channel tests: it supplies only the
// camera's RTSP port and notes the last stream wish it was given.
#pragma once

#include "common/TSmartPtr.h"
#include "settings/IVideoSettingsManager.h"

#include <atomic>
#include <cstdint>

namespace talvex::test {

// A settings manager that names the camera's RTSP port and notes the last wish.
class RtspPortManager : public IVideoSettingsManager {
public:
    explicit RtspPortManager(uint16_t port) : m_port(port) {}
    bool SetStreamSettings(CEvent*, uint32_t codecType, const VIDEO_STREAM_SETTINGS* wish) override {
        lastCodec = codecType;
        lastStream = wish ? wish->streamIndex : -1;
        return true;
    }
    void Reset(bool) override {}
    uint16_t GetRTSPPort() override { return m_port; }

    std::atomic<uint32_t> lastCodec{0};
    std::atomic<int32_t> lastStream{-1};

private:
    uint16_t m_port;
};

inline TSmartPtr<IVideoSettingsManager> PortOnly(uint16_t port) {
    return TSmartPtr<IVideoSettingsManager>(new RtspPortManager(port));
}

} // namespace talvex::test
