// The driver object for Sony cameras and video servers.
#pragma once

#include "driver/CIPCaptureDriver.h"

namespace talvex {

class CSonyIPCaptureDriver : public CIPCaptureDriver {
public:
    using CIPCaptureDriver::CIPCaptureDriver;
    ~CSonyIPCaptureDriver() override;

    bool Initialize(ipcapture::IDeviceSettings* settings) override;
    // By generation, codec and operation mode (property 18).
    ICameraChannel* CreateVideoChannel(uint32_t channelIndex, ipcapture::IVideoChannelCallback* channelCallback,
                                       uint32_t codecType) override;
    void LogDriverOpened(const std::string& firmware) override;

    // " (1st generation)", " (2nd generation)", " (3rd generation)", then " (%uth generation)".
    static std::string GenerationText(uint32_t generation);
};

} // namespace talvex
