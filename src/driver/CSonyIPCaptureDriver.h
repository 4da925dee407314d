// The driver object for Sony cameras and video servers.
#pragma once

#include "audio/CIPAudioCapture.h"
#include "audio/CIPAudioSender.h"
#include "audio/IAudioChannelCreator.h"
#include "common/CRecursiveLock.h"
#include "common/TSmartPtr.h"
#include "driver/CIPCaptureDriver.h"
#include "ptz/CPtzCapabilities.h"
#include "settings/IVideoSettingsManager.h"

#include <map>
#include <string>
#include <memory>

namespace talvex {

class CSonyIPCaptureDriver : public CIPCaptureDriver, public IAudioChannelCreator {
public:
    using CIPCaptureDriver::CIPCaptureDriver;
    ~CSonyIPCaptureDriver() override;

    bool Initialize(ipcapture::IDeviceSettings* settings) override;
    // By generation, codec and operation mode (property 18).
    ICameraChannel* CreateVideoChannel(uint32_t channelIndex, ipcapture::IVideoChannelCallback* channelCallback,
                                       uint32_t codecType) override;
    // Refused (with a warning) for a host older than 5.8.
    IMotionChannel* CreateMotionChannel(uint32_t channelIndex, ipcapture::IVideoChannelCallback* motionCallback) override;
    // Null unless the device has video channels and its edge storage function
    // is on (property 11); its queue holds ten intervals per video channel.
    IEdgeStorageHandler* CreateEdgeStorageHandler() override;
    bool CreateDigitalIO() override;
    bool CreatePTZHandler() override;
    // Read from property 4 at every open.
    const CPtzCapabilities* GetPtzCapabilities() const override { return &m_ptzCapabilities; }
    void LogDriverOpened(const std::string& firmware) override;
    void ReleaseDeviceObjects() override;

    // Slots 10 and 11: made at open when properties 101 / 102 announce channels.
    ipcapture::IIPAudioCapture2* GetAudioCapture() override;
    ipcapture::IIPAudioSender* GetAudioSender() override;

    // IAudioChannelCreator: the HTTP audio stream on a generation 7 camera in
    // "fullsize" mode, the RTSP audio track otherwise.
    IAudioInputChannel* CreateAudioInputChannel(uint32_t id, uint32_t channel,
                                                ipcapture::IAudioCaptureCallback* callback, void* context) override;
    IAudioOutputChannel* CreateAudioOutputChannel(uint32_t id, uint32_t channel,
                                                  ipcapture::IAudioSenderCallback* callback,
                                                  ipcapture::IAudioFormatList* formats) override;

    // " (1st generation)", " (2nd generation)", " (3rd generation)", then " (%uth generation)".
    static std::string GenerationText(uint32_t generation);

private:
    // Properties 101 (input) and 102 (output); false when the host asked for
    // audio and neither object could be made.
    bool CreateAudioObjects(const ipcapture::IDeviceSettings& settings);
    // Generation 7 in "fullsize" mode streams over HTTP only.
    bool IsFullsizeMode() const;
    // One manager per video channel index, made anew at every open.
    bool CreateVideoSettingsManagers(uint32_t channelCount);
    // The channel's manager; empty when there is none.
    TSmartPtr<IVideoSettingsManager> GetVideoSettingsManager(uint32_t channelIndex);

    // Guards the managers; channels hold further references, so a manager
    // outlives a Close for as long as its channels run.
    CRecursiveLock m_settingsManagerLock;
    std::map<uint32_t, TSmartPtr<IVideoSettingsManager>> m_settingsManagers;
    CPtzCapabilities m_ptzCapabilities;
    // The camera's key with the time provider, empty when not registered:
    // only a driver that registered unregisters, so one that did not cannot
    // drop another driver's registration of the same camera.
    std::string m_timeSyncKey;
    std::unique_ptr<CIPAudioCapture> m_audioCapture;
    std::unique_ptr<CIPAudioSender> m_audioSender;
};

} // namespace talvex
