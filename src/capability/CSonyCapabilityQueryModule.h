// The capability query for Sony cameras and video servers.
#pragma once

#include "capability/CCapabilityQueryModule.h"

namespace talvex {

class CSonyCapabilityQueryModule : public CCapabilityQueryModule {
public:
    using CCapabilityQueryModule::CCapabilityQueryModule;
    ~CSonyCapabilityQueryModule() override;

    TSmartPtr<CBaseCameraProperties> CreateCameraProperties() override;
};

} // namespace talvex
