// The driver's PTZ handler for Sony cameras: one PTZ object per channel, made
// and opened on the first request, kept until the handler goes.
#pragma once

#include "common/CRecursiveLock.h"
#include "ptz/CIPPTZDriverIf.h"
#include "ptz/CSonyPTZControl.h"

#include <cstdint>
#include <map>
#include <memory>

namespace talvex {

class IDriver;

class CSonyPTZHandler : public CIPPTZDriverIf {
public:
    explicit CSonyPTZHandler(IDriver* driver);
    ~CSonyPTZHandler() override;

    // Null for a channel beyond the limit or when its PTZ object cannot open.
    ipcapture::IIPPTZApi* GetPTZApi(uint32_t channelIndex) override;

private:
    IDriver* m_driver;
    // Host threads may ask for the same channel at once.
    CRecursiveLock m_lock;
    std::map<uint32_t, std::unique_ptr<CSonyPTZControl>> m_controls;
    uint32_t m_channelLimit = 1;
};

} // namespace talvex
