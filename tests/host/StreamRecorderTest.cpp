#include "StreamRecorder.h"

#include "HostFrames.h"
#include "support/HostDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

namespace fennwick_host {
namespace {

using talvex::ipcapture::IVideoFrame;
using talvex::ipcapture::MakeFourCC;

constexpr uint64_t kMorning = 134410176000000000ULL;
constexpr uint64_t kMillisecond = 10000;
constexpr uint32_t kH264Key = MakeFourCC('H', '2', '6', '4');
constexpr uint32_t kH264 = MakeFourCC('I', '2', '6', '4');
constexpr uint32_t kJpeg = MakeFourCC('J', 'P', 'E', 'G');
constexpr uint32_t kMotion = MakeFourCC('M', 'E', 'M', 'D');

// Delivers one frame the way a channel does: allocate, fill, hand over, release.
bool Deliver(FrameAllocator& allocator, StreamRecorder& recorder, uint32_t type, uint32_t size, uint64_t time) {
    IVideoFrame* frame = allocator.AllocVideo(type, size, "test");
    frame->SetDataSize(size);
    frame->SetPictureFormat(320, 240, 2);
    frame->SetTypeCode(type);
    frame->SetTime(time);
    bool taken = recorder.OnFrame(frame);
    allocator.ReleaseVideo(frame);
    return taken;
}

bool DeliverMotion(FrameAllocator& allocator, StreamRecorder& recorder, bool motion) {
    IVideoFrame* frame = allocator.AllocVideo(kMotion, 1024, "CBaseMotionChannel");
    frame->GetBuffer()[0] = 0x01;
    frame->GetBuffer()[1] = motion ? 0x01 : 0x00;
    frame->SetDataSize(2);
    frame->SetPictureFormat(320, 240, 2);
    bool taken = recorder.OnFrame(frame);
    allocator.ReleaseVideo(frame);
    return taken;
}

TEST(StreamRecorder, DiscardSinkCountsEveryFrame) {
    FrameAllocator allocator;
    StreamRecorder recorder("live", "");
    for (int index = 0; index < 50; ++index)
        EXPECT_TRUE(Deliver(allocator, recorder, index % 25 ? kH264 : kH264Key, 1000,
                            kMorning + uint64_t(index) * 40 * kMillisecond));
    recorder.OnSignalLost();
    EXPECT_FALSE(recorder.Finish());
    StreamReport report = recorder.Report();
    EXPECT_EQ(report.name, "live");
    ASSERT_TRUE(report.codec);
    EXPECT_EQ(*report.codec, VideoCodec::H264);
    EXPECT_EQ(report.statistics.Frames(), 50u);
    EXPECT_EQ(report.statistics.KeyFrames(), 2u);
    EXPECT_EQ(report.statistics.SignalLosses(), 1u);
    EXPECT_EQ(report.framesWritten, 0u);
    EXPECT_EQ(allocator.OutstandingFrames(), 0);
}

TEST(StreamRecorder, RefusesUnknownTypesAndFramesAfterFinishTakesOtherCodecsUncounted) {
    FrameAllocator allocator;
    StreamRecorder recorder("rec", "");
    EXPECT_FALSE(Deliver(allocator, recorder, MakeFourCC('X', 'V', 'I', 'D'), 10, kMorning));
    EXPECT_TRUE(Deliver(allocator, recorder, kJpeg, 10, kMorning));
    // The camera now sends H.264 on this stream: taken, so the channel keeps its signal.
    EXPECT_TRUE(Deliver(allocator, recorder, kH264Key, 10, kMorning + 40 * kMillisecond));
    EXPECT_FALSE(recorder.OnFrame(nullptr));
    recorder.Finish();
    EXPECT_FALSE(Deliver(allocator, recorder, kJpeg, 10, kMorning + 80 * kMillisecond));
    StreamReport report = recorder.Report();
    EXPECT_EQ(report.statistics.Frames(), 1u);
    EXPECT_EQ(report.framesRefused, 2u);
    EXPECT_EQ(*report.codec, VideoCodec::Jpeg);
}

TEST(StreamRecorder, EventLinesNameTheSignalLossAndTheFrameEndingAGap) {
    const talvex::test::HostDirectory folder; // of its own: suite runs side by side do not clash
    const std::string path = folder.Path() + "events.txt";
    StreamEventLog events;
    ASSERT_FALSE(events.Open(path));
    FrameAllocator allocator;
    StreamRecorder recorder("rec", "");
    recorder.ReportEventsTo(events, "127.0.1.1", "rec");
    // Frames close together end no gap; one after more than a second does.
    for (int index = 0; index < 3; ++index)
        Deliver(allocator, recorder, kH264Key, 100, kMorning + uint64_t(index) * 40 * kMillisecond);
    recorder.OnSignalLost();
    std::this_thread::sleep_for(StreamRecorder::kEventGap + std::chrono::milliseconds(100));
    Deliver(allocator, recorder, kH264Key, 100, kMorning + 2000 * kMillisecond);

    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].ends_with(" 127.0.1.1 rec signal-lost")) << lines[0];
    size_t gapAt = lines[1].find(" 127.0.1.1 rec resumed ");
    ASSERT_NE(gapAt, std::string::npos) << lines[1];
    EXPECT_GE(std::stoul(lines[1].substr(gapAt + 23)), 1000u) << lines[1];
    EXPECT_GT(std::stoll(lines[0]), 1700000000000LL); // Unix milliseconds
}

// Their lines in the events file and the summary: HostEventsAndIoTest, end to end.
TEST(StreamRecorder, MotionFramesAreCountedButNeverWritten) {
    const talvex::test::HostDirectory folder;
    FrameAllocator allocator;
    StreamRecorder recorder("rec", folder.Path() + "motion.mkv");
    EXPECT_FALSE(DeliverMotion(allocator, recorder, true)) << "refused while the stream does not track motion";
    recorder.TrackMotion();
    // The driver's start edge (on, off), then motion and its end between pictures.
    const std::string script = "10J1JJ0J";
    for (size_t index = 0; index < script.size(); ++index)
        EXPECT_TRUE(script[index] == 'J' ? Deliver(allocator, recorder, kJpeg, 100, kMorning + index * kMillisecond)
                                         : DeliverMotion(allocator, recorder, script[index] == '1'));
    recorder.OnSignalLost(); // right after a picture: the motion channel's
    EXPECT_FALSE(recorder.Finish());

    StreamReport report = recorder.Report();
    EXPECT_EQ(report.statistics.Frames(), 4u);
    EXPECT_EQ(report.framesWritten, 4u);
    EXPECT_EQ(report.framesRefused, 1u);
    EXPECT_EQ(report.statistics.SignalLosses(), 0u);
    EXPECT_TRUE(report.motion);
    EXPECT_EQ(report.motionChanges, 3u);
    EXPECT_EQ(report.motionOnsets, 1u);
    EXPECT_EQ(report.motionChannelLosses, 1u);
}

TEST(StreamRecorder, WithoutEventsALossWhileFramesArriveIsStillTheMotionChannels) {
    FrameAllocator allocator;
    StreamRecorder recorder("rec", "");
    recorder.TrackMotion();
    recorder.OnSignalLost(); // no video frame yet: the video's
    EXPECT_TRUE(Deliver(allocator, recorder, kJpeg, 10, kMorning));
    recorder.OnSignalLost();
    StreamReport report = recorder.Report();
    EXPECT_EQ(report.statistics.SignalLosses(), 1u);
    EXPECT_EQ(report.motionChannelLosses, 1u);
}

TEST(StreamRecorder, ChannelThreadsDeliverAtOnce) {
    FrameAllocator allocator;
    StreamRecorder recorder("rec", "");
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread)
        threads.emplace_back([&, thread] {
            for (int index = 0; index < 2000; ++index) {
                Deliver(allocator, recorder, kJpeg, 100, kMorning + uint64_t(index * 4 + thread) * kMillisecond);
                if (index % 100 == 0)
                    recorder.OnSignalLost();
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    StreamReport report = recorder.Report();
    EXPECT_EQ(report.statistics.Frames(), 8000u);
    EXPECT_EQ(report.statistics.SignalLosses(), 80u);
    EXPECT_EQ(allocator.OutstandingFrames(), 0);
}

TEST(StreamSummary, ShowsTheFiguresOfAStream) {
    StreamReport report;
    report.name = "rec";
    report.path = "out/rec.mkv";
    report.codec = VideoCodec::H264;
    for (int index = 0; index < 250; ++index)
        report.statistics.AddFrame(kMorning + uint64_t(index) * 40 * kMillisecond, 5000, index % 25 == 0);
    report.statistics.AddSignalLoss();
    report.framesWritten = 249;
    report.framesSkipped = 1;
    EXPECT_EQ(FormatStreamSummary(report),
              "stream rec: H.264 -> out/rec.mkv\n"
              "  frames 250 (key frames 10), 25.00 frames/s, 1000.0 kbit/s, signal losses 1\n"
              "  first frame 2026-12-06 08:00:00.000 UTC, last frame 2026-12-06 08:00:09.960 UTC\n"
              "  written 249, skipped before the first key frame 1, refused 0\n");
}

// A stream without frames says so and why; a discarded one has no file line.
TEST(StreamSummary, ShowsMissingFramesTheErrorAndDiscardedStreams) {
    StreamReport failed;
    failed.name = "live";
    failed.path = "out/live.mkv";
    failed.error = "cannot create out/live.mkv: Permission denied";
    const std::string text = FormatStreamSummary(failed);
    EXPECT_TRUE(text.starts_with("stream live: no frames -> out/live.mkv (not written)\n")) << text;
    EXPECT_NE(text.find("  first frame -, last frame -\n"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with("\n  error: cannot create out/live.mkv: Permission denied\n")) << text;
    StreamReport discarded;
    discarded.name = "remote";
    discarded.codec = VideoCodec::Jpeg;
    discarded.statistics.AddFrame(kMorning, 10, true);
    const std::string shown = FormatStreamSummary(discarded);
    EXPECT_TRUE(shown.starts_with("stream remote: MJPEG -> discarded\n")) << shown;
    EXPECT_EQ(shown.find("written"), std::string::npos) << shown;
}

} // namespace
} // namespace fennwick_host
