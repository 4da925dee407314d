// The driver object for Sony cameras and video servers.
#pragma once

#include "driver/CIPCaptureDriver.h"

namespace talvex {

class CSonyIPCaptureDriver : public CIPCaptureDriver {
public:
    using CIPCaptureDriver::CIPCaptureDriver;
    ~CSonyIPCaptureDriver() override;

    bool Initialize(ipcapture::IDeviceSettings* settings) override;
    void LogDriverOpened(const std::string& firmware) override;

    // " (1st generation)", " (2nd generation)", " (3rd generation)", then " (%uth generation)".
    static std::string GenerationText(uint32_t generation);
};

} // namespace talvex
