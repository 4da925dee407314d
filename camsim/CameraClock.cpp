#include "CameraClock.h"

#include <chrono>

namespace camsim {

int64_t CameraClock::RealNowUnixMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int64_t CameraClock::NowUnixMs() const {
    return RealNowUnixMs() + OffsetMs();
}

void CameraClock::SetCameraTimeUnixMs(int64_t cameraTimeMs) {
    SetOffsetMs(cameraTimeMs - RealNowUnixMs());
}

} // namespace camsim
