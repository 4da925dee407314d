// The host's channel settings for the video capture tests: one object serves
// as the settings, their stream and picture parts and the picture size.
#pragma once

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>

namespace talvex::test {

class FakeVideoChannelSettings : public ipcapture::IVideoChannelSettings,
                                 public ipcapture::IVideoStreamSettings,
                                 public ipcapture::IVideoPictureSettings,
                                 public ipcapture::IVideoSize {
public:
    const IVideoStreamSettings* GetStreamSettings() const override { return this; }
    const IVideoPictureSettings* GetPictureSettings() const override { return this; }
    const char* GetChannelName() const override { return "cam"; }
    uint32_t GetChannelFlags() const override { return 0; }
    uint32_t GetChannelOption() const override { return 9; }
    uint32_t GetBitRate() const override { return 0; }
    uint32_t GetFrameRate() const override { return 0; }
    const IVideoSize* GetSize() const override { return this; }
    uint32_t GetCodecType() const override { return 3; }
    uint16_t GetFirstValue() const override { return 40; }
    uint16_t GetQuality() const override { return 0; }
    uint16_t GetSecondValue() const override { return 80; }
    uint32_t GetMotionDetection() const override { return motionDetection; }
    uint16_t GetWidth() const override { return 640; }
    uint16_t GetHeight() const override { return 480; }

    // Non-zero: the host also asks for the channel's motion detection.
    uint32_t motionDetection = 0;
};

} // namespace talvex::test
