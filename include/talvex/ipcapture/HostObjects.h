// Host objects the driver calls. The host implements them; the driver uses only
// these slots, in this order, and never keeps a string the host returns.
#pragma once

#include <talvex/ipcapture/PrivacyZone.h>

#include <cstdint>

namespace talvex::ipcapture {

// Four-character frame type codes, first character in the lowest byte.
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | (uint32_t(uint8_t(b)) << 8) | (uint32_t(uint8_t(c)) << 16) |
           (uint32_t(uint8_t(d)) << 24);
}

class IDeviceCapacities {
public:
    virtual ~IDeviceCapacities() = default;
    virtual uint32_t GetDeviceType() const = 0;              // slot 1 (not used by the driver)
    virtual const char* GetModelName() const = 0;            // slot 2
    virtual uint32_t GetVideoChannelCount() const = 0;       // slot 3
    virtual uint32_t GetAudioChannelCount() const = 0;       // slot 4 (not used by the driver)
    virtual uint32_t GetDigitalInputCount() const = 0;       // slot 5
    virtual uint32_t GetDigitalOutputCount() const = 0;      // slot 6
};

class IDeviceConnectionSettings {
public:
    virtual ~IDeviceConnectionSettings() = default;
    virtual const char* GetAddress() const = 0;              // slot 1
    virtual uint16_t GetPort() const = 0;                    // slot 2
    virtual uint32_t GetConnectionFlags() const = 0;         // slot 3 (not used by the driver)
    virtual uint32_t GetDefaultCodecType() const = 0;        // slot 4
    virtual const char* GetUserName() const = 0;             // slot 5
    virtual const char* GetPassword() const = 0;             // slot 6
};

class IDeviceSettings {
public:
    virtual ~IDeviceSettings() = default;
    virtual IDeviceCapacities* GetCapacities() = 0;                   // slot 1
    virtual IDeviceConnectionSettings* GetConnectionSettings() = 0;   // slot 2
    virtual const char* GetDeviceName() const = 0;                    // slot 3 (not used by the driver)
    virtual const char* GetParameter(uint32_t id) const = 0;          // slot 4, null when absent
};

class IVideoSize {
public:
    virtual ~IVideoSize() = default;
    virtual uint16_t GetWidth() const = 0;   // slot 1
    virtual uint16_t GetHeight() const = 0;  // slot 2
};

class IVideoStreamSettings {
public:
    virtual ~IVideoStreamSettings() = default;
    virtual uint32_t GetBitRate() const = 0;          // slot 1 (not used by the driver)
    virtual uint32_t GetFrameRate() const = 0;        // slot 2 (not used by the driver)
    virtual const IVideoSize* GetSize() const = 0;    // slot 3
    virtual uint32_t GetCodecType() const = 0;        // slot 4: codecType
};

class IVideoPictureSettings {
public:
    virtual ~IVideoPictureSettings() = default;
    virtual uint16_t GetFirstValue() const = 0;       // slot 1: first word of the start record
    virtual uint16_t GetQuality() const = 0;          // slot 2 (not used by the driver)
    virtual uint16_t GetSecondValue() const = 0;      // slot 3: second word of the start record
    virtual uint32_t GetMotionDetection() const = 0;  // slot 4: non-zero also starts motion detection
};

class IVideoChannelSettings {
public:
    virtual ~IVideoChannelSettings() = default;
    virtual const IVideoStreamSettings* GetStreamSettings() const = 0;    // slot 1
    virtual const IVideoPictureSettings* GetPictureSettings() const = 0;  // slot 2
    virtual const char* GetChannelName() const = 0;                       // slot 3 (not used)
    virtual uint32_t GetChannelFlags() const = 0;                         // slot 4: kChannelFlagPrivacyZones (below)
    virtual uint32_t GetChannelOption() const = 0;                        // slot 5: handed to the channel
};

// ADDITION of this driver (not in the hosts' original slot table): the host
// hands a channel its privacy zones through a later version of the channel
// settings that appends slot 6. The driver calls slot 6 only when slot 4 of
// the same object has kChannelFlagPrivacyZones set, so older hosts, whose
// objects end at slot 5, are never called past their end.
constexpr uint32_t kChannelFlagPrivacyZones = 0x80000000u;

class IVideoChannelSettingsEx : public IVideoChannelSettings {
public:
    // slot 6: null leaves the camera's masks as they are; a list (even an
    // empty one) switches masking on for the channel: the camera's masks are
    // set to these zones, in order, and its other masks are switched off.
    virtual IPrivacyZoneList* GetPrivacyZones() const = 0;
};

class IVideoSizeSource {
public:
    virtual ~IVideoSizeSource() = default;
    virtual uint16_t GetWidth() const = 0;   // slot 1
    virtual uint16_t GetHeight() const = 0;  // slot 2
};

// A host video frame: the driver fills data, size, picture format, type and
// time, in that order, then hands it to the channel callback and releases it.
class IVideoFrame {
public:
    virtual ~IVideoFrame() = default;
    virtual uint8_t* GetBuffer() = 0;                                   // slot 1
    virtual uint32_t GetCapacity() const = 0;                           // slot 2
    virtual void SetDataSize(uint32_t size) = 0;                        // slot 3
    virtual uint32_t GetDataSize() const = 0;                           // slot 4
    virtual void SetPictureFormat(uint16_t width, uint16_t height, uint32_t sizeClass) = 0; // slot 5
    virtual uint16_t GetWidth() const = 0;                              // slot 6
    virtual uint16_t GetHeight() const = 0;                             // slot 7
    virtual void SetTypeCode(uint32_t fourcc) = 0;                      // slot 8
    virtual uint32_t GetTypeCode() const = 0;                           // slot 9
    virtual void SetTime(uint64_t fileTime) = 0;                        // slot 10: 100 ns since 1601 UTC
    virtual uint64_t GetTime() const = 0;                               // slot 11
};

// A host audio frame, filled in this order: codec, data (copied), format,
// bit rate, channel number, finish.
class IAudioFrame {
public:
    virtual ~IAudioFrame() = default;
    virtual void SetCodec(uint32_t fourcc) = 0;                                         // slot 1
    virtual bool SetData(const uint8_t* data, uint32_t length) = 0;                      // slot 2
    virtual void SetFormat(uint32_t samplesPerSecond, uint32_t bitsPerSample, bool isStereo) = 0; // slot 3
    virtual void SetBitRate(uint32_t bitRate) = 0;                                      // slot 4
    virtual void SetChannelNumber(uint8_t channel) = 0;                                 // slot 5
    virtual void Finish() = 0;                                                          // slot 6
    virtual const uint8_t* GetData() const = 0;                                         // slot 7
    virtual uint32_t GetDataSize() const = 0;                                           // slot 8
    virtual uint32_t GetCodec() const = 0;                                              // slot 9
    virtual uint32_t GetSamplesPerSecond() const = 0;                                   // slot 10
    virtual bool IsStereo() const = 0;                                                  // slot 11
    virtual uint32_t GetBitRate() const = 0;                                            // slot 12
    virtual uint8_t GetChannelNumber() const = 0;                                       // slot 13
};

// The host's frame allocator, given to Open as the host context.
class IFrameAllocator {
public:
    virtual ~IFrameAllocator() = default;
    virtual uint32_t GetVersion() const = 0;                                              // slot 1 (not used)
    virtual IVideoFrame* AllocVideo(uint32_t typeCode, uint32_t size, const char* name) = 0; // slot 2
    virtual IAudioFrame* AllocAudio(uint32_t fourcc, uint32_t size, const char* name) = 0;   // slot 3
    virtual void ReleaseAudio(IAudioFrame* frame) = 0;                                    // slot 4
    virtual uint32_t GetFlags() const = 0;                                                // slot 5 (not used)
    virtual void ReleaseVideo(IVideoFrame* frame) = 0;                                    // slot 6
};

// The channel callback (frame sink) the host gives to StartChannel/StartStream.
class IVideoChannelCallback {
public:
    virtual ~IVideoChannelCallback() = default;
    virtual bool OnFrame(IVideoFrame* frame) = 0;             // slot 1: true when the host took it
    virtual void OnStateChanged(uint32_t state) = 0;          // slot 2 (not used by video channels)
    virtual void OnSignalLost() = 0;                          // slot 3
};

} // namespace talvex::ipcapture
