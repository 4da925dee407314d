#include "HostFrames.h"

#include <gtest/gtest.h>

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
    // Size, type and time reach the recordings (MatroskaRecording checks them in the file).
    frame->SetPictureFormat(1280, 720, 4);
    EXPECT_EQ(frame->GetDataSize(), 5u);
    EXPECT_EQ(static_cast<VideoFrame*>(frame)->GetSizeClass(), 4u);
    EXPECT_EQ(static_cast<VideoFrame*>(frame)->Data().size(), 5u);
    EXPECT_EQ(static_cast<VideoFrame*>(frame)->Data()[0], 0x42);
    frame->SetDataSize(17);
    EXPECT_EQ(frame->GetDataSize(), 16u) << "beyond the buffer";
    allocator.ReleaseVideo(frame);
    EXPECT_EQ(allocator.OutstandingFrames(), 0);
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

} // namespace
} // namespace fennwick_host
