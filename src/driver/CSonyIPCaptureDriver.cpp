#include "driver/CSonyIPCaptureDriver.h"

#include "audio/CAudioCapabilities.h"
#include "audio/CAudioCaptureChannel.h"
#include "audio/CAudioCaptureHTTPChannel.h"
#include "audio/CAudioOutputChannel.h"
#include "common/Conversions.h"
#include "common/StringFormat.h"
#include "edgestorage/CSonyEdgeStorageHandler.h"
#include "events/CSonyDigitalIO.h"
#include "events/CSonyMotionChannel.h"
#include "ptz/CSonyPTZHandler.h"
#include "settings/CSonyVideoSettingsManager.h"
#include "timesync/CSonyTimeProvider.h"
#include "channels/CH264ChannelRTP.h"
#include "channels/CH264ChannelRTSP.h"
#include "channels/CMJPEGChannelHTTP.h"
#include "channels/CMJPEGChannelRTSP.h"
#include "channels/CMPEG4ChannelRTP.h"
#include "channels/CMPEG4ChannelRTSP.h"

#include <exception>
#include <memory>
#include <new>
#include <utility>

namespace talvex {
namespace {

constexpr uint32_t kFirstTimeoutMs = 5000;
constexpr uint32_t kSecondTimeoutMs = 10000;
constexpr uint32_t kVideoStandardParameter = 1;
constexpr uint32_t kGenerationParameter = 2;
constexpr uint32_t kFirmwareParameter = 3;
constexpr uint32_t kPtzCapabilitiesParameter = 4;
constexpr uint32_t kEdgeStorageParameter = 11;
constexpr uint32_t kEdgeStorageQueuePerChannel = 10;
constexpr uint32_t kOperationModeParameter = 18;
constexpr uint32_t kAudioInputParameter = 101;
constexpr uint32_t kAudioOutputParameter = 102;
// The host's codec numbers that stand for the device's default codec.
constexpr uint32_t kHostDefaultCodec = 0;
constexpr uint32_t kHostDefaultCodecToo = 5;
// From this generation on, streams are opened over RTSP.
constexpr uint32_t kFirstRtspGeneration = 5;
// Generation 7 in "fullsize" mode serves motion JPEG over HTTP only.
constexpr uint32_t kFullsizeGeneration = 7;
// Older hosts cannot take the motion frames correctly.
constexpr uint16_t kMotionHostMajor = 5;
constexpr uint16_t kMotionHostMinor = 8;
constexpr uint32_t kWarningLevel = 2;

} // namespace

CSonyIPCaptureDriver::~CSonyIPCaptureDriver() {
    // The base destructor only reaches the base's ReleaseDeviceObjects.
    Close();
}

bool CSonyIPCaptureDriver::Initialize(ipcapture::IDeviceSettings* settings) {
    m_deviceInfo.firstTimeoutMs = kFirstTimeoutMs;
    m_deviceInfo.secondTimeoutMs = kSecondTimeoutMs;
    std::string videoStandard = GetParameterText(kVideoStandardParameter);
    std::string generation = GetParameterText(kGenerationParameter);
    if (videoStandard.empty() || generation.empty())
        return false;
    m_videoStandard = StringToUnsigned(videoStandard);
    m_deviceInfo.generation = StringToUnsigned(generation);
    m_ptzCapabilities = CPtzCapabilities::FromText(GetParameterText(kPtzCapabilitiesParameter));
    if (GetParameterNumber(kEdgeStorageParameter) == 1 && m_timeSyncKey.empty())
        m_timeSyncKey = CSonyTimeProvider::Register(m_deviceInfo, this);
    if (!settings || !CreateAudioObjects(*settings))
        return false;
    if (!CreateVideoSettingsManagers(m_videoChannelCount))
        return false;
    LogDriverOpened(GetParameterText(kFirmwareParameter));
    return true;
}

void CSonyIPCaptureDriver::ReleaseDeviceObjects() {
    m_audioCapture.reset();
    m_audioSender.reset();
    {
        CAutoLock lock(m_settingsManagerLock);
        m_settingsManagers.clear();
    }
    // Outside the managers' lock: the last camera's unregistration joins the service thread.
    if (!m_timeSyncKey.empty())
        CSonyTimeProvider::Unregister(std::exchange(m_timeSyncKey, std::string()), this);
}

bool CSonyIPCaptureDriver::CreateAudioObjects(const ipcapture::IDeviceSettings& settings) {
    const char* input = settings.GetParameter(kAudioInputParameter);
    const char* output = settings.GetParameter(kAudioOutputParameter);
    if (!input && !output)
        return true;
    if (input && !m_audioCapture) {
        const uint32_t count = CAudioCapabilities::FromText(input).Count;
        if (count != 0)
            m_audioCapture.reset(new (std::nothrow) CIPAudioCapture(this, count));
    }
    if (output && !m_audioSender) {
        const uint32_t count = CAudioCapabilities::FromText(output).Count;
        if (count != 0)
            m_audioSender.reset(new (std::nothrow) CIPAudioSender(this, count));
    }
    return m_audioCapture || m_audioSender;
}

ipcapture::IIPAudioCapture2* CSonyIPCaptureDriver::GetAudioCapture() {
    return m_audioCapture.get();
}

ipcapture::IIPAudioSender* CSonyIPCaptureDriver::GetAudioSender() {
    return m_audioSender.get();
}

bool CSonyIPCaptureDriver::IsFullsizeMode() const {
    return m_deviceInfo.generation == kFullsizeGeneration && GetParameterText(kOperationModeParameter) == "fullsize";
}

IAudioInputChannel* CSonyIPCaptureDriver::CreateAudioInputChannel(uint32_t id, uint32_t channel,
                                                                  ipcapture::IAudioCaptureCallback* callback,
                                                                  void* context) {
    if (IsFullsizeMode())
        return new (std::nothrow) CAudioCaptureHTTPChannel(this, channel, id, callback, context);
    return new (std::nothrow) CAudioCaptureChannel(this, channel, id, callback, context);
}

IAudioOutputChannel* CSonyIPCaptureDriver::CreateAudioOutputChannel(uint32_t id, uint32_t channel,
                                                                    ipcapture::IAudioSenderCallback* callback,
                                                                    ipcapture::IAudioFormatList* formats) {
    return new (std::nothrow) CAudioOutputChannel(this, channel, id, callback, formats);
}

bool CSonyIPCaptureDriver::CreateVideoSettingsManagers(uint32_t channelCount) {
    CAutoLock lock(m_settingsManagerLock);
    m_settingsManagers.clear();
    for (uint32_t index = 0; index < channelCount; ++index) {
        TSmartPtr<IVideoSettingsManager> manager;
        try {
            auto created = std::make_unique<CSonyVideoSettingsManager>(this, index);
            manager = TSmartPtr<IVideoSettingsManager>(created.get());
            created.release();
        } catch (const std::exception&) {
        }
        if (!manager) {
            DebugMessage(1,
                         "talvex::CSonyIPCaptureDriver::CreateVideoSettingsManagers: Unable to create "
                         "VideoSettingsManager object for channel %u of Sony %s:%hu device",
                         index, m_deviceInfo.address.c_str(), m_deviceInfo.port);
            return false;
        }
        m_settingsManagers[index] = std::move(manager);
    }
    return true;
}

TSmartPtr<IVideoSettingsManager> CSonyIPCaptureDriver::GetVideoSettingsManager(uint32_t channelIndex) {
    CAutoLock lock(m_settingsManagerLock);
    auto it = m_settingsManagers.find(channelIndex);
    return it == m_settingsManagers.end() ? TSmartPtr<IVideoSettingsManager>() : it->second;
}

ICameraChannel* CSonyIPCaptureDriver::CreateVideoChannel(uint32_t channelIndex,
                                                         ipcapture::IVideoChannelCallback* channelCallback,
                                                         uint32_t codecType) {
    if (!channelCallback)
        return nullptr;
    if (codecType == kHostDefaultCodec || codecType == kHostDefaultCodecToo)
        codecType = m_defaultCodecType;
    try {
        const uint32_t generation = m_deviceInfo.generation;
        const bool httpMjpeg = generation < kFirstRtspGeneration || IsFullsizeMode();
        if (codecType == kCodecJpeg && httpMjpeg)
            return new CMJPEGChannelHTTP(channelIndex, this, channelCallback);
        if (generation < kFirstRtspGeneration) {
            if (codecType == kCodecMpeg4)
                return new CMPEG4ChannelRTP(channelIndex, this, channelCallback);
            if (codecType == kCodecH264)
                return new CH264ChannelRTP(channelIndex, this, channelCallback);
            return nullptr;
        }
        const TSmartPtr<IVideoSettingsManager> settingsManager = GetVideoSettingsManager(channelIndex);
        switch (codecType) {
        case kCodecJpeg:
            return new CMJPEGChannelRTSP(channelIndex, this, channelCallback, settingsManager);
        case kCodecMpeg4:
            return new CMPEG4ChannelRTSP(channelIndex, this, channelCallback, settingsManager);
        case kCodecH264:
            return new CH264ChannelRTSP(channelIndex, this, channelCallback, settingsManager);
        default:
            return nullptr;
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

IMotionChannel* CSonyIPCaptureDriver::CreateMotionChannel(uint32_t channelIndex,
                                                         ipcapture::IVideoChannelCallback* motionCallback) {
    if (m_hostVersion.IsBelow(kMotionHostMajor, kMotionHostMinor)) {
        DebugMessage(kWarningLevel,
                     "talvex::CSonyIPCaptureDriver::CreateMotionChannel(): Current Kaldor version (%u.%u.%u) doesn't "
                     "allow to process camera motion detection correctly. Functionality is disabled",
                     unsigned(m_hostVersion.major), unsigned(m_hostVersion.minor), unsigned(m_hostVersion.build));
        return nullptr;
    }
    return new (std::nothrow) CSonyMotionChannel(channelIndex, this, motionCallback);
}

IEdgeStorageHandler* CSonyIPCaptureDriver::CreateEdgeStorageHandler() {
    if (m_videoChannelCount == 0 || GetParameterNumber(kEdgeStorageParameter) != 1)
        return nullptr;
    try {
        return new CSonyEdgeStorageHandler(this, kEdgeStorageQueuePerChannel * m_videoChannelCount);
    } catch (const std::exception&) {
        return nullptr;
    }
}

bool CSonyIPCaptureDriver::CreatePTZHandler() {
    m_ptzHandler.reset(new (std::nothrow) CSonyPTZHandler(this));
    return m_ptzHandler != nullptr;
}

bool CSonyIPCaptureDriver::CreateDigitalIO() {
    m_digitalIO.reset(new (std::nothrow) CSonyDigitalIO(this));
    return m_digitalIO != nullptr;
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
