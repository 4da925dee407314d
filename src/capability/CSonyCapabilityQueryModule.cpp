#include "capability/CSonyCapabilityQueryModule.h"

#include "device/CSonyCameraProperties.h"

#include <new>

namespace talvex {

CSonyCapabilityQueryModule::~CSonyCapabilityQueryModule() {
    StopFetch();
}

TSmartPtr<CBaseCameraProperties> CSonyCapabilityQueryModule::CreateCameraProperties() {
    return TSmartPtr<CBaseCameraProperties>(new (std::nothrow)
                                                CSonyCameraProperties(GetDeviceRecord(), GetMarkHighRates()));
}

} // namespace talvex
