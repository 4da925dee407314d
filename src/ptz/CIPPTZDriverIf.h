// The PTZ handler as the host sees it: both interface versions lead to GetPTZApi.
#pragma once

#include <talvex/ipcapture/PTZ.h>

namespace talvex {

class CIPPTZDriverIf : public ipcapture::IIPPTZDriverEx {
public:
    ipcapture::IIPPTZApi* GetPTZ(uint32_t channelIndex) override { return GetPTZApi(channelIndex); }
};

} // namespace talvex
