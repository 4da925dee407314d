// The driver object of one device: what the host opens and closes, and the
// service point (IDriver) every channel, handler and manager of the device uses.
#pragma once

#include "common/IDriver.h"
#include "driver/CIPVideoCapture.h"
#include "events/CIOBase.h"
#include "driver/HostVersion.h"
#include "driver/IVideoChannelCreator.h"
#include "ptz/CIPPTZDriverIf.h"

#include <talvex/ipcapture/CaptureDriver.h>
#include <talvex/ipcapture/DeviceInfo.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace talvex {

class CIPCaptureDriver : public ipcapture::IIPCaptureDriverEx5, public IDriver, public IVideoChannelCreator {
public:
    // Reads the host core version from the process (see talvex/ipcapture/Exports.h).
    CIPCaptureDriver();
    // For hosts and tests that know the version the driver should see.
    explicit CIPCaptureDriver(HostVersion hostVersion);
    ~CIPCaptureDriver() override;

    CIPCaptureDriver(const CIPCaptureDriver&) = delete;
    CIPCaptureDriver& operator=(const CIPCaptureDriver&) = delete;

    // IIPCaptureDriverEx5
    bool Open(ipcapture::IHostDebugSink* sink, ipcapture::IFrameAllocator* hostContext,
              ipcapture::IDeviceSettings* settings) override;
    void Close() override;
    ipcapture::IIPVideoCapture* GetVideoCapture() override;
    ipcapture::ICaptureIOApi* GetDigitalIO() override;
    void* GetOptionalComponent() override;
    ipcapture::IIPPTZDriver* GetPTZDriver() override;
    void* GetOptionalComponentEx() override;
    ipcapture::IIPVideoCaptureEx* GetVideoCaptureEx() override;
    ipcapture::IIPPTZDriverEx* GetPTZDriverEx() override;
    ipcapture::IIPAudioCapture2* GetAudioCapture() override;
    ipcapture::IIPAudioSender* GetAudioSender() override;
    ipcapture::IIPVideoCaptureEx2* GetVideoCaptureEx2() override;

    // IDriver
    std::string GetDeviceTag() const override;
    __attribute__((format(printf, 3, 4))) void DebugMessage(uint32_t level, const char* format, ...) override;
    std::string GetDriverName() const override;
    std::string GetHostDirectory() const override;
    DEVICE_INFO* GetDeviceInfo() override;
    std::pair<uint32_t, uint32_t> GetIOCounts() const override;
    ipcapture::IFrameAllocator* GetHostContext() const override;
    uint32_t GetVideoStandard() const override;
    uint32_t GetDefaultCodecType() const override;
    uint32_t GetVideoChannelCount() const override;
    std::string GetParameterText(uint32_t id) const override;
    int32_t GetParameterNumber(uint32_t id) const override;
    std::pair<uint16_t, uint16_t> GetChannelPictureSize(uint32_t channelIndex) const override;
    void* GetSpareObject() const override;

    // IVideoChannelCreator: the device class knows its channel classes; the base makes none.
    ICameraChannel* CreateVideoChannel(uint32_t channelIndex, ipcapture::IVideoChannelCallback* channelCallback,
                                       uint32_t codecType) override;

    // Device-specific steps of Open, after the host's settings are copied.
    virtual bool Initialize(ipcapture::IDeviceSettings* settings) = 0;
    // Makes the device class's digital I/O object into m_digitalIO; a device
    // class without digital I/O makes none and its getter answers null.
    virtual bool CreateDigitalIO() { return true; }
    // Makes the device class's PTZ handler into m_ptzHandler; a device class
    // without PTZ makes none and both PTZ getters answer null.
    virtual bool CreatePTZHandler() { return true; }
    // Releases what the device class made; Close calls it first.
    virtual void ReleaseDeviceObjects();
    // The level 100 "DRIVER IS OPENED" line.
    virtual void LogDriverOpened(const std::string& firmware);

    const HostVersion& GetHostVersion() const { return m_hostVersion; }

protected:
    static constexpr uint32_t kDriverOpenedLevel = 100;

    // Level a host of m_hostVersion understands for a driver level.
    uint32_t MapLevelForHost(uint32_t level) const;
    // Pieces of the "DRIVER IS OPENED" line; names must both be known to write it.
    bool HasOpenedLineNames() const;
    std::string OpenedLineStart() const;
    static std::string FirmwarePiece(const std::string& firmware);
    std::string AddressPiece() const;
    // Stored properties: 1, 2, ... until the host has none, then 120 to 127.
    void CopyParameters(const ipcapture::IDeviceSettings& settings);

    ipcapture::IHostDebugSink* m_debugSink = nullptr;
    ipcapture::IFrameAllocator* m_hostContext = nullptr;
    std::map<uint32_t, std::string> m_deviceParameters;
    HostVersion m_hostVersion;
    std::string m_hostDirectory;
    DEVICE_INFO m_deviceInfo;
    uint32_t m_inputCount = 0;
    uint32_t m_outputCount = 0;
    uint32_t m_videoChannelCount = 0;
    uint32_t m_defaultCodecType = 0;
    uint32_t m_videoStandard = 0;
    std::unique_ptr<CIPVideoCapture> m_videoCapture;
    std::unique_ptr<CIOBase> m_digitalIO;
    std::unique_ptr<CIPPTZDriverIf> m_ptzHandler;

private:
    bool CopySettings(ipcapture::IDeviceSettings* settings);
};

// The directory of the running executable, trailing '/' kept; empty when unknown.
std::string ReadHostDirectory();

} // namespace talvex
