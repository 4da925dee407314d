#include "HostFrames.h"

#include "ChannelSettings.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace fennwick_host {
namespace {

using talvex::ipcapture::IAudioFrame;
using talvex::ipcapture::IVideoFrame;
using talvex::ipcapture::MakeFourCC;

TEST(FrameAllocator, VideoFrameKeepsWhatTheDriverFillsIn) {
    FrameAllocator allocator;
    IVideoFrame* frame = allocator.AllocVideo(MakeFourCC('H', '2', '6', '4'), 16, "channel 0");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(allocator.OutstandingFrames(), 1);
    EXPECT_EQ(frame->GetCapacity(), 16u);
    EXPECT_EQ(frame->GetTypeCode(), MakeFourCC('H', '2', '6', '4'));
    frame->GetBuffer()[0] = 0x42;
    frame->SetDataSize(5);
    frame->SetPictureFormat(1280, 720, 4);
    frame->SetTypeCode(MakeFourCC('I', '2', '6', '4'));
    frame->SetTime(134410176000000000ULL);
    EXPECT_EQ(frame->GetDataSize(), 5u);
    EXPECT_EQ(frame->GetWidth(), 1280);
    EXPECT_EQ(frame->GetHeight(), 720);
    EXPECT_EQ(static_cast<VideoFrame*>(frame)->GetSizeClass(), 4u);
    EXPECT_EQ(frame->GetTypeCode(), MakeFourCC('I', '2', '6', '4'));
    EXPECT_EQ(frame->GetTime(), 134410176000000000ULL);
    EXPECT_EQ(static_cast<VideoFrame*>(frame)->Data().size(), 5u);
    EXPECT_EQ(static_cast<VideoFrame*>(frame)->Data()[0], 0x42);
    allocator.ReleaseVideo(frame);
    EXPECT_EQ(allocator.OutstandingFrames(), 0);
}

TEST(FrameAllocator, DataSizeNeverExceedsTheBuffer) {
    FrameAllocator allocator;
    IVideoFrame* frame = allocator.AllocVideo(MakeFourCC('J', 'P', 'E', 'G'), 100, "");
    ASSERT_NE(frame, nullptr);
    frame->SetDataSize(101);
    EXPECT_EQ(frame->GetDataSize(), 100u);
    allocator.ReleaseVideo(frame);
}

TEST(FrameAllocator, RefusesEmptyAndOversizedVideoFrames) {
    FrameAllocator allocator;
    EXPECT_EQ(allocator.AllocVideo(MakeFourCC('J', 'P', 'E', 'G'), 0, ""), nullptr);
    EXPECT_EQ(allocator.AllocVideo(MakeFourCC('J', 'P', 'E', 'G'), kMaxVideoFrameBytes + 1, ""), nullptr);
    EXPECT_EQ(allocator.AllocAudio(MakeFourCC('7', '1', '1', 'M'), kMaxAudioFrameBytes + 1, ""), nullptr);
    EXPECT_EQ(allocator.RefusedAllocations(), 3u);
    IVideoFrame* largest = allocator.AllocVideo(MakeFourCC('J', 'P', 'E', 'G'), kMaxVideoFrameBytes, "");
    ASSERT_NE(largest, nullptr);
    allocator.ReleaseVideo(largest);
    EXPECT_EQ(allocator.OutstandingFrames(), 0);
}

TEST(FrameAllocator, ReleasingNullIsHarmless) {
    FrameAllocator allocator;
    allocator.ReleaseVideo(nullptr);
    allocator.ReleaseAudio(nullptr);
    EXPECT_EQ(allocator.OutstandingFrames(), 0);
}

TEST(FrameAllocator, AudioDataBeyondTheCapacityIsRefused) {
    FrameAllocator allocator;
    IAudioFrame* frame = allocator.AllocAudio(MakeFourCC('7', '1', '1', 'A'), 2, "");
    ASSERT_NE(frame, nullptr);
    const uint8_t data[] = {1, 2, 3};
    EXPECT_FALSE(frame->SetData(data, 3));
    EXPECT_EQ(frame->GetDataSize(), 0u);
    EXPECT_FALSE(frame->SetData(nullptr, 1));
    EXPECT_TRUE(frame->SetData(nullptr, 0));
    allocator.ReleaseAudio(frame);
}

TEST(FrameAllocator, ChannelThreadsAllocateAndReleaseAtOnce) {
    FrameAllocator allocator;
    constexpr int kThreads = 4;
    constexpr int kFramesPerThread = 2000;
    std::vector<std::thread> threads;
    for (int index = 0; index < kThreads; ++index)
        threads.emplace_back([&allocator] {
            for (int frame = 0; frame < kFramesPerThread; ++frame) {
                IVideoFrame* video = allocator.AllocVideo(MakeFourCC('I', '2', '6', '4'), 64, "");
                IAudioFrame* audio = allocator.AllocAudio(MakeFourCC('7', '1', '1', 'M'), 64, "");
                allocator.ReleaseVideo(video);
                allocator.ReleaseAudio(audio);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(allocator.OutstandingFrames(), 0);
    EXPECT_EQ(allocator.RefusedAllocations(), 0u);
}

TEST(VideoChannelSettings, AnswersTheSlotsTheDriverReads) {
    StreamRequest request{kStreamLive, 1, 640, 480};
    VideoChannelSettings settings(request);
    const talvex::ipcapture::IVideoChannelSettings& asHost = settings;
    ASSERT_NE(asHost.GetStreamSettings(), nullptr);
    EXPECT_EQ(asHost.GetStreamSettings()->GetCodecType(), 1u);
    ASSERT_NE(asHost.GetStreamSettings()->GetSize(), nullptr);
    EXPECT_EQ(asHost.GetStreamSettings()->GetSize()->GetWidth(), 640);
    EXPECT_EQ(asHost.GetStreamSettings()->GetSize()->GetHeight(), 480);
    ASSERT_NE(asHost.GetPictureSettings(), nullptr);
    EXPECT_EQ(asHost.GetPictureSettings()->GetFirstValue(), 0);
    EXPECT_EQ(asHost.GetPictureSettings()->GetSecondValue(), 0);
    EXPECT_EQ(asHost.GetPictureSettings()->GetMotionDetection(), 0u);
    EXPECT_EQ(asHost.GetChannelOption(), 0u);
    EXPECT_STREQ(asHost.GetChannelName(), "live");
}

} // namespace
} // namespace fennwick_host
