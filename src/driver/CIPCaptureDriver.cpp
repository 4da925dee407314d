#include "driver/CIPCaptureDriver.h"

#include "common/Conversions.h"
#include "common/StringFormat.h"
#include "driver/CDebugInfo.h"

#include <unistd.h>

#include <cstdarg>
#include <vector>

namespace talvex {
namespace {

constexpr const char* kDriverName = "Fennwick";
constexpr uint16_t kDefaultHttpPort = 80;
constexpr uint32_t kNeverDeliveredLevel = 4;
constexpr uint32_t kWarningLevel = 2;
constexpr uint32_t kInformationLevel = 3;
// Sequential properties end before the block of 120 to 127, which is asked separately,
// so a host that answers every identifier cannot keep Open looping.
constexpr uint32_t kLastSequentialParameterId = 119;
constexpr uint32_t kFirstExtraParameterId = 120;
constexpr uint32_t kLastExtraParameterId = 127;
constexpr size_t kMaxExecutablePath = 4096;

std::string TextOrEmpty(const char* text) {
    return text ? std::string(text) : std::string();
}

} // namespace

std::string ReadHostDirectory() {
    std::vector<char> buffer(kMaxExecutablePath);
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || size_t(length) >= buffer.size())
        return std::string(); // unreadable, or a path the platform cannot name
    std::string path(buffer.data(), size_t(length));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(0, slash + 1);
}

CIPCaptureDriver::CIPCaptureDriver() : CIPCaptureDriver(ReadHostVersion()) {}

CIPCaptureDriver::CIPCaptureDriver(HostVersion hostVersion)
    : m_hostVersion(hostVersion), m_hostDirectory(ReadHostDirectory()), m_deviceInfo("", kDefaultHttpPort, "", "") {}

CIPCaptureDriver::~CIPCaptureDriver() {
    Close();
}

bool CIPCaptureDriver::Open(ipcapture::IHostDebugSink* sink, ipcapture::IFrameAllocator* hostContext,
                            ipcapture::IDeviceSettings* settings) {
    try {
        if (CopySettings(settings)) {
            m_debugSink = sink;
            m_hostContext = hostContext;
            if (!m_videoCapture)
                m_videoCapture = std::make_unique<CIPVideoCapture>(this, m_videoChannelCount);
            if ((m_digitalIO || CreateDigitalIO()) && (m_ptzHandler || CreatePTZHandler()) && Initialize(settings))
                return true;
        }
    } catch (...) {
        // Nothing may reach the host; a failed open is reported as false below.
    }
    Close();
    return false;
}

bool CIPCaptureDriver::CopySettings(ipcapture::IDeviceSettings* settings) {
    if (!settings)
        return false;
    ipcapture::IDeviceCapacities* capacities = settings->GetCapacities();
    ipcapture::IDeviceConnectionSettings* connection = settings->GetConnectionSettings();
    if (!capacities || !connection)
        return false;
    m_defaultCodecType = connection->GetDefaultCodecType();
    m_inputCount = capacities->GetDigitalInputCount();
    m_outputCount = capacities->GetDigitalOutputCount();
    m_videoChannelCount = capacities->GetVideoChannelCount();
    m_deviceInfo.model = TextOrEmpty(capacities->GetModelName());
    m_deviceInfo.address = TextOrEmpty(connection->GetAddress());
    m_deviceInfo.port = connection->GetPort();
    m_deviceInfo.user = TextOrEmpty(connection->GetUserName());
    m_deviceInfo.password = TextOrEmpty(connection->GetPassword());
    CopyParameters(*settings);
    return true;
}

void CIPCaptureDriver::CopyParameters(const ipcapture::IDeviceSettings& settings) {
    for (uint32_t id = 1; id <= kLastSequentialParameterId; ++id) {
        const char* text = settings.GetParameter(id);
        if (!text)
            break;
        m_deviceParameters[id] = text;
    }
    for (uint32_t id = kFirstExtraParameterId; id <= kLastExtraParameterId; ++id)
        if (const char* text = settings.GetParameter(id))
            m_deviceParameters[id] = text;
}

void CIPCaptureDriver::Close() {
    ReleaseDeviceObjects();
    // Its channels are stopped here, while the driver they call into is whole.
    m_videoCapture.reset();
    if (m_digitalIO) {
        m_digitalIO->StopIO();
        m_digitalIO.reset();
    }
    m_ptzHandler.reset();
}

void CIPCaptureDriver::ReleaseDeviceObjects() {}

// The three video capture slots hand out the same object.
ipcapture::IIPVideoCapture* CIPCaptureDriver::GetVideoCapture() { return m_videoCapture.get(); }
ipcapture::IIPVideoCaptureEx* CIPCaptureDriver::GetVideoCaptureEx() { return m_videoCapture.get(); }
ipcapture::IIPVideoCaptureEx2* CIPCaptureDriver::GetVideoCaptureEx2() { return m_videoCapture.get(); }
ipcapture::ICaptureIOApi* CIPCaptureDriver::GetDigitalIO() { return m_digitalIO.get(); }
// Slots 6 and 9 hand out the same handler.
ipcapture::IIPPTZDriver* CIPCaptureDriver::GetPTZDriver() { return m_ptzHandler.get(); }
ipcapture::IIPPTZDriverEx* CIPCaptureDriver::GetPTZDriverEx() { return m_ptzHandler.get(); }

// Device objects this driver does not make are absent: their getters answer null.
void* CIPCaptureDriver::GetOptionalComponent() { return nullptr; }
void* CIPCaptureDriver::GetOptionalComponentEx() { return nullptr; }
ipcapture::IIPAudioCapture2* CIPCaptureDriver::GetAudioCapture() { return nullptr; }
ipcapture::IIPAudioSender* CIPCaptureDriver::GetAudioSender() { return nullptr; }

ICameraChannel* CIPCaptureDriver::CreateVideoChannel(uint32_t, ipcapture::IVideoChannelCallback*, uint32_t) {
    return nullptr;
}

std::string CIPCaptureDriver::GetDeviceTag() const {
    return FormatString("%s:%hu", m_deviceInfo.address.c_str(), m_deviceInfo.port);
}

void CIPCaptureDriver::DebugMessage(uint32_t level, const char* format, ...) {
    if (!format)
        return;
    try {
        va_list args;
        va_start(args, format);
        std::string text = FormatStringV(format, args);
        va_end(args);
        if (text.empty() || level == kNeverDeliveredLevel || !m_debugSink)
            return;
        CDebugInfo info(uint8_t(MapLevelForHost(level)), std::move(text));
        m_debugSink->Message(&info);
    } catch (...) {
        // Logging never fails its caller.
    }
}

uint32_t CIPCaptureDriver::MapLevelForHost(uint32_t level) const {
    if (m_hostVersion.IsBelow(5, 12))
        return level == kInformationLevel || level == kDriverOpenedLevel ? kWarningLevel : level;
    if (m_hostVersion.IsBelow(6, 3))
        return level == kDriverOpenedLevel ? kInformationLevel : level;
    return level;
}

std::string CIPCaptureDriver::GetDriverName() const { return kDriverName; }
std::string CIPCaptureDriver::GetHostDirectory() const { return m_hostDirectory; }
DEVICE_INFO* CIPCaptureDriver::GetDeviceInfo() { return &m_deviceInfo; }
std::pair<uint32_t, uint32_t> CIPCaptureDriver::GetIOCounts() const { return {m_inputCount, m_outputCount}; }
ipcapture::IFrameAllocator* CIPCaptureDriver::GetHostContext() const { return m_hostContext; }
uint32_t CIPCaptureDriver::GetVideoStandard() const { return m_videoStandard; }
uint32_t CIPCaptureDriver::GetDefaultCodecType() const { return m_defaultCodecType; }
uint32_t CIPCaptureDriver::GetVideoChannelCount() const { return m_videoChannelCount; }

std::string CIPCaptureDriver::GetParameterText(uint32_t id) const {
    auto it = m_deviceParameters.find(id);
    if (it == m_deviceParameters.end() || it->second == "(none)")
        return std::string();
    return it->second;
}

int32_t CIPCaptureDriver::GetParameterNumber(uint32_t id) const {
    auto it = m_deviceParameters.find(id);
    if (it == m_deviceParameters.end())
        return kParameterMissing;
    return ParseSignedDecimal(it->second).value_or(kParameterMissing);
}

// Picture sizes come from the video capture object; without one every size is 0 x 0.
std::pair<uint16_t, uint16_t> CIPCaptureDriver::GetChannelPictureSize(uint32_t channelIndex) const {
    return m_videoCapture ? m_videoCapture->GetPictureSize(channelIndex) : std::pair<uint16_t, uint16_t>{0, 0};
}

void* CIPCaptureDriver::GetSpareObject() const { return nullptr; }

bool CIPCaptureDriver::HasOpenedLineNames() const {
    return !GetDriverName().empty() && !m_deviceInfo.model.empty();
}

std::string CIPCaptureDriver::OpenedLineStart() const {
    return FormatString("DRIVER IS OPENED (name: %s, device model: %s", GetDriverName().c_str(),
                        m_deviceInfo.model.c_str());
}

std::string CIPCaptureDriver::FirmwarePiece(const std::string& firmware) {
    return firmware.empty() ? std::string() : ", FW:" + firmware;
}

std::string CIPCaptureDriver::AddressPiece() const {
    return FormatString(", address: %s:%u", m_deviceInfo.address.c_str(), unsigned(m_deviceInfo.port));
}

void CIPCaptureDriver::LogDriverOpened(const std::string& firmware) {
    if (!HasOpenedLineNames())
        return;
    std::string line = OpenedLineStart() + FirmwarePiece(firmware) + AddressPiece() + ")";
    DebugMessage(kDriverOpenedLevel, "%s", line.c_str());
}

} // namespace talvex
