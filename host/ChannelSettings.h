// What the host asks of one video stream, and the settings objects the driver
// reads when the stream starts. The objects are immutable once built, so any
// driver thread may read them.
#pragma once

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace fennwick_host {

// Stream indexes of IIPVideoCaptureEx2::StartStream.
constexpr uint32_t kStreamRecording = 0;
constexpr uint32_t kStreamLive = 1;
constexpr uint32_t kStreamRemote = 2;
constexpr uint32_t kStreamCount = 3;

// codecType 0 asks for the device's default codec.
constexpr uint32_t kDeviceDefaultCodec = 0;

struct StreamRequest {
    uint32_t streamIndex = kStreamRecording;
    uint32_t codecType = kDeviceDefaultCodec;
    uint16_t width = 0; // 0 x 0: the size the camera is set to
    uint16_t height = 0;
    uint32_t framesPerSecond = 0; // 0: the camera's frame rate
    uint32_t quality = 0;         // 1 to 100; 0: the camera's quality
    bool motion = false;          // also detect motion (the recording stream, started with its channel)
    bool edgeStorage = false;     // fill outages from the camera's storage (the recording stream, started with its channel)
};

// The lowest and highest --fps and --quality.
constexpr uint32_t kMinFramesPerSecond = 1;
constexpr uint32_t kMaxFramesPerSecond = 60;
constexpr uint32_t kMinQuality = 1;
constexpr uint32_t kMaxQuality = 100;

// The first picture word for a wanted frame rate: the frame interval in whole
// milliseconds up to 30 fps, the marked form 0x7000 | fps above (60 fps as
// 17 ms would come back as 59 fps); 0 keeps the camera's rate. This is the
// driver's rule, repeated here because the host only sees the public headers.
uint16_t PictureFrameInterval(uint32_t framesPerSecond);

// "rec", "live", "remote".
std::string_view StreamName(uint32_t streamIndex);
std::optional<uint32_t> StreamIndexOfName(std::string_view name);
// "jpeg", "mpeg4", "h264"; "default" for 0.
std::string_view CodecName(uint32_t codecType);

class VideoSize : public talvex::ipcapture::IVideoSize {
public:
    VideoSize(uint16_t width, uint16_t height) : m_width(width), m_height(height) {}
    uint16_t GetWidth() const override { return m_width; }
    uint16_t GetHeight() const override { return m_height; }

private:
    uint16_t m_width;
    uint16_t m_height;
};

class VideoStreamSettings : public talvex::ipcapture::IVideoStreamSettings {
public:
    VideoStreamSettings(uint16_t width, uint16_t height, uint32_t codecType)
        : m_size(width, height), m_codecType(codecType) {}
    uint32_t GetBitRate() const override { return 0; }
    uint32_t GetFrameRate() const override { return 0; }
    const talvex::ipcapture::IVideoSize* GetSize() const override { return &m_size; }
    uint32_t GetCodecType() const override { return m_codecType; }

private:
    VideoSize m_size;
    uint32_t m_codecType;
};

// The first start word is the frame interval (PictureFrameInterval), the
// second the quality; 0 in either keeps the camera's. Motion detection 1
// starts the channel's motion detection with it.
class VideoPictureSettings : public talvex::ipcapture::IVideoPictureSettings {
public:
    VideoPictureSettings(uint32_t framesPerSecond, uint32_t quality, bool motion)
        : m_frameInterval(PictureFrameInterval(framesPerSecond)), m_quality(uint16_t(quality)), m_motion(motion) {}
    uint16_t GetFirstValue() const override { return m_frameInterval; }
    uint16_t GetQuality() const override { return 0; }
    uint16_t GetSecondValue() const override { return m_quality; }
    uint32_t GetMotionDetection() const override { return m_motion ? 1 : 0; }

private:
    uint16_t m_frameInterval;
    uint16_t m_quality;
    bool m_motion;
};

// The later version of the channel settings, which carries privacy zones
// (announced by its flag): privacyZones switches masking on for the channel
// with those zones; null leaves the camera's masks alone. The list must
// outlive the settings.
class VideoChannelSettings : public talvex::ipcapture::IVideoChannelSettingsEx {
public:
    explicit VideoChannelSettings(const StreamRequest& request,
                                  talvex::ipcapture::IPrivacyZoneList* privacyZones = nullptr);

    const talvex::ipcapture::IVideoStreamSettings* GetStreamSettings() const override { return &m_stream; }
    const talvex::ipcapture::IVideoPictureSettings* GetPictureSettings() const override { return &m_picture; }
    const char* GetChannelName() const override { return m_name; }
    uint32_t GetChannelFlags() const override { return talvex::ipcapture::kChannelFlagPrivacyZones; }
    uint32_t GetChannelOption() const override { return 0; }
    talvex::ipcapture::IPrivacyZoneList* GetPrivacyZones() const override { return m_privacyZones; }

private:
    VideoStreamSettings m_stream;
    VideoPictureSettings m_picture;
    const char* m_name;
    talvex::ipcapture::IPrivacyZoneList* m_privacyZones;
};

} // namespace fennwick_host
