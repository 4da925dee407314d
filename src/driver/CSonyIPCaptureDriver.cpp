#include "driver/CSonyIPCaptureDriver.h"

#include "common/Conversions.h"
#include "common/StringFormat.h"

namespace talvex {
namespace {

constexpr uint32_t kFirstTimeoutMs = 5000;
constexpr uint32_t kSecondTimeoutMs = 10000;
constexpr uint32_t kVideoStandardParameter = 1;
constexpr uint32_t kGenerationParameter = 2;
constexpr uint32_t kFirmwareParameter = 3;
constexpr uint32_t kEdgeStorageParameter = 11;

} // namespace

CSonyIPCaptureDriver::~CSonyIPCaptureDriver() {
    // The base destructor only reaches the base's ReleaseDeviceObjects.
    Close();
}

bool CSonyIPCaptureDriver::Initialize(ipcapture::IDeviceSettings* /*settings*/) {
    m_deviceInfo.firstTimeoutMs = kFirstTimeoutMs;
    m_deviceInfo.secondTimeoutMs = kSecondTimeoutMs;
    std::string videoStandard = GetParameterText(kVideoStandardParameter);
    std::string generation = GetParameterText(kGenerationParameter);
    if (videoStandard.empty() || generation.empty())
        return false;
    m_videoStandard = StringToUnsigned(videoStandard);
    m_deviceInfo.generation = StringToUnsigned(generation);
    LogDriverOpened(GetParameterText(kFirmwareParameter));
    return true;
}

std::string CSonyIPCaptureDriver::GenerationText(uint32_t generation) {
    switch (generation) {
    case 1:
        return " (1st generation)";
    case 2:
        return " (2nd generation)";
    case 3:
        return " (3rd generation)";
    default:
        return FormatString(" (%uth generation)", generation);
    }
}

void CSonyIPCaptureDriver::LogDriverOpened(const std::string& firmware) {
    if (!HasOpenedLineNames())
        return;
    std::string line = OpenedLineStart() + GenerationText(m_deviceInfo.generation) + FirmwarePiece(firmware) +
                       AddressPiece();
    if (GetParameterNumber(kEdgeStorageParameter) == 1)
        line += ", Edge Storage Function is On";
    line += ")";
    DebugMessage(kDriverOpenedLevel, "%s", line.c_str());
}

} // namespace talvex
