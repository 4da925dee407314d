// Recordings of real encoded clips through the host's frame path (allocator,
// frame sink, Matroska writer), checked by FFmpeg's own tools: the files must
// probe and decode without a single error, with every frame and the right length.
#include "MatroskaWriter.h"

#include "HostFrames.h"
#include "StreamRecorder.h"

#include "support/HostDirectory.h"
#include "support/MediaProbe.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace fennwick_host {
namespace {

using namespace talvex::test;

using talvex::ipcapture::IVideoFrame;
using talvex::ipcapture::MakeFourCC;

constexpr uint64_t kMorning = 134410176000000000ULL;
constexpr uint16_t kClipWidth = 320;
constexpr uint16_t kClipHeight = 240;

struct ClipFrame {
    std::vector<uint8_t> data;
    bool isKey;
};

// One of camsim's committed clips, as FFmpeg's raw elementary stream demuxer reads it.
struct Clip {
    const char* extension;
    const char* demuxer;
    uint32_t keyType;
    uint32_t otherType;
};

const Clip kH264Clip = {"h264", "h264", MakeFourCC('H', '2', '6', '4'), MakeFourCC('I', '2', '6', '4')};
const Clip kJpegClip = {"mjpeg", "mjpeg", MakeFourCC('J', 'P', 'E', 'G'), MakeFourCC('J', 'P', 'E', 'G')};

// Access units of a raw elementary stream, split by FFmpeg's parser for the
// codec, and the frame rate the stream declares.
std::vector<ClipFrame> ReadClip(const std::string& path, const char* demuxer, AVRational& frameRate) {
    std::vector<ClipFrame> frames;
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path.c_str(), av_find_input_format(demuxer), nullptr) < 0)
        return frames;
    if (avformat_find_stream_info(context, nullptr) >= 0 && context->nb_streams > 0)
        frameRate = context->streams[0]->r_frame_rate;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(context, packet) >= 0) {
        frames.push_back({std::vector<uint8_t>(packet->data, packet->data + packet->size),
                          (packet->flags & AV_PKT_FLAG_KEY) != 0});
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&context);
    return frames;
}

class MatroskaRecording : public ::testing::Test {
protected:
    // The 320x240 clip camsim streams (made by scripts/make-clips).
    std::vector<ClipFrame> MakeClip(const Clip& clip) {
        const std::string path = std::string(FENNWICK_CAMSIM_CLIPS) + "/clip-320x240." + clip.extension;
        AVRational frameRate{0, 1};
        std::vector<ClipFrame> frames = ReadClip(path, clip.demuxer, frameRate);
        // Frames are delivered at the clip's own rate: FFmpeg's decoding run
        // keeps to the rate the bitstream declares.
        EXPECT_GT(frameRate.num, 0) << path;
        m_frameSeconds = frameRate.num > 0 ? av_q2d(av_inv_q(frameRate)) : 0.04;
        m_frameInterval = uint64_t(m_frameSeconds * 10000000 + 0.5);
        EXPECT_GE(frames.size(), 10u) << path;
        EXPECT_TRUE(!frames.empty() && frames.front().isKey) << path;
        return frames;
    }

    std::string OutputPath() const { return m_directory.Path() + "stream.mkv"; }

    // Delivers frames as a channel does; times one frame interval apart from kMorning unless given.
    void DeliverAll(StreamRecorder& recorder, FrameAllocator& allocator, const Clip& clip,
                           const std::vector<ClipFrame>& frames, size_t first = 0,
                           const std::vector<uint64_t>& times = {}) {
        for (size_t index = first; index < frames.size(); ++index) {
            const ClipFrame& source = frames[index];
            uint32_t type = source.isKey ? clip.keyType : clip.otherType;
            IVideoFrame* frame = allocator.AllocVideo(type, uint32_t(source.data.size()), "test");
            ASSERT_NE(frame, nullptr);
            std::copy(source.data.begin(), source.data.end(), frame->GetBuffer());
            frame->SetDataSize(uint32_t(source.data.size()));
            frame->SetPictureFormat(kClipWidth, kClipHeight, 2);
            frame->SetTypeCode(type);
            frame->SetTime(times.empty() ? kMorning + index * m_frameInterval : times[index]);
            // Every frame is taken, also those that cannot start or join the file.
            EXPECT_TRUE(recorder.OnFrame(frame)) << "frame " << index;
            allocator.ReleaseVideo(frame);
        }
    }

    static std::map<std::string, std::string> Probe(const std::string& path) {
        return ProbeEntries(path, "stream=codec_name,width,height,nb_read_frames:format=format_name,duration");
    }

    HostDirectory m_directory;
    double m_frameSeconds = 0;
    uint64_t m_frameInterval = 0;
};

TEST_F(MatroskaRecording, FileStartsAtTheFirstKeyFrame) {
    std::vector<ClipFrame> frames = MakeClip(kH264Clip);
    FrameAllocator allocator;
    StreamRecorder recorder("rec", OutputPath());
    // Joining mid-way through the first second: the frames up to the next key frame cannot be decoded alone.
    constexpr size_t kJoin = 3;
    auto nextKey = std::find_if(frames.begin() + kJoin, frames.end(), [](const ClipFrame& f) { return f.isKey; });
    ASSERT_NE(nextKey, frames.end());
    size_t firstWritten = size_t(nextKey - frames.begin());
    DeliverAll(recorder, allocator, kH264Clip, frames, kJoin);
    EXPECT_FALSE(recorder.Finish());
    StreamReport report = recorder.Report();
    EXPECT_EQ(report.statistics.Frames(), frames.size() - kJoin);
    EXPECT_EQ(report.framesSkipped, firstWritten - kJoin);
    EXPECT_EQ(report.framesWritten, frames.size() - firstWritten);
    EXPECT_EQ(report.statistics.KeyFrames(), uint64_t(std::count_if(frames.begin() + kJoin, frames.end(),
                                                                    [](const ClipFrame& f) { return f.isKey; })));
    EXPECT_EQ(allocator.OutstandingFrames(), 0);
    auto probe = Probe(OutputPath());
    EXPECT_EQ(probe["codec_name"], "h264");
    EXPECT_EQ(probe["format_name"], "matroska,webm");
    EXPECT_EQ(probe["width"] + "x" + probe["height"], "320x240");
    EXPECT_EQ(probe["nb_read_frames"], std::to_string(frames.size() - firstWritten));
    EXPECT_NEAR(std::strtod(probe["duration"].c_str(), nullptr), double(frames.size() - firstWritten) * m_frameSeconds, 0.001);
    ExpectCleanDecode(OutputPath());
}

TEST_F(MatroskaRecording, FrameTimesThatStepBackKeepTheFileValid) {
    std::vector<ClipFrame> frames = MakeClip(kH264Clip);
    ASSERT_GE(frames.size(), 12u);
    std::vector<uint64_t> times;
    for (size_t index = 0; index < frames.size(); ++index)
        times.push_back(kMorning + index * m_frameInterval);
    // A converter resynchronising after a camera's clock jump: frames 9 and 10 are 1 s in the past.
    times[9] -= 10000000;
    times[10] -= 10000000;
    FrameAllocator allocator;
    StreamRecorder recorder("rec", OutputPath());
    DeliverAll(recorder, allocator, kH264Clip, frames, 0, times);
    EXPECT_FALSE(recorder.Finish());
    auto probe = Probe(OutputPath());
    EXPECT_EQ(probe["nb_read_frames"], std::to_string(frames.size()));

    const std::vector<double> pts = PacketTimes(OutputPath()); // seconds, in file order
    ASSERT_EQ(pts.size(), frames.size());
    const double frame = double(m_frameInterval / 10000) / 1000; // the file's millisecond clock
    EXPECT_NEAR(pts[8], 8 * frame, 1e-6);
    EXPECT_NEAR(pts[9], 8 * frame + 0.001, 1e-6); // written just after the frame before
    EXPECT_NEAR(pts[10], 8 * frame + 0.002, 1e-6);
    EXPECT_NEAR(pts[11], 11 * frame, 1e-6);
    for (size_t index = 1; index < pts.size(); ++index)
        EXPECT_LT(pts[index - 1], pts[index]) << "at packet " << index;
    // Frames 1 ms apart fall on one slot of ffmpeg's default 25 frames/s encoder
    // clock; with the file's own millisecond clock every frame keeps its place.
    ExpectCleanDecode(OutputPath());
}

TEST_F(MatroskaRecording, UnwritablePathIsReportedAndNothingIsTaken) {
    std::vector<ClipFrame> frames = MakeClip(kJpegClip);
    FrameAllocator allocator;
    std::string path = m_directory.Path() + "absent/stream.mkv";
    StreamRecorder recorder("live", path);
    DeliverAll(recorder, allocator, kJpegClip, frames);
    recorder.Finish();
    StreamReport report = recorder.Report();
    EXPECT_EQ(report.statistics.Frames(), frames.size());
    EXPECT_EQ(report.framesWritten, 0u);
    EXPECT_NE(report.error.find("cannot create " + path), std::string::npos) << report.error;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(MatroskaRecording, WriterStartsTheFileAtTheFirstFramesTime) {
    std::vector<ClipFrame> frames = MakeClip(kJpegClip);
    std::string error;
    auto writer = MatroskaWriter::Create(OutputPath(), {VideoCodec::Jpeg, kClipWidth, kClipHeight, {}}, error);
    ASSERT_TRUE(writer) << error;
    // A late start: the first frame's file time is the file's zero.
    const uint64_t lateStart = kMorning * 2;
    for (size_t index = 0; index < 10; ++index)
        EXPECT_FALSE(writer->WriteFrame(frames[index].data, true, lateStart + index * m_frameInterval));
    EXPECT_FALSE(writer->Finish());
    EXPECT_FALSE(writer->Finish());
    EXPECT_TRUE(writer->WriteFrame(frames[10].data, true, lateStart));
    EXPECT_EQ(writer->FramesWritten(), 10u);
    auto probe = Probe(OutputPath());
    EXPECT_EQ(probe["nb_read_frames"], "10");
    EXPECT_NEAR(std::strtod(probe["duration"].c_str(), nullptr), 10 * m_frameSeconds, 0.001);
}

// When the audio input's frames come against the video's, and in which codec:
// what the file of a stream that expects audio ends up holding.
struct AudioPlanCase {
    const char* name;
    AudioCodec codec;
    uint32_t bitRate;
    const char* clip;        // camsim's audio clip the frames are cut from; nullptr: no audio comes
    bool beforeVideo;        // one more audio frame before the first key frame
    const char* probedCodec; // "" for a file without an audio track
    uint64_t written;        // audio frames in the file
};

void PrintTo(const AudioPlanCase& row, std::ostream* out) { *out << row.name; }

class MatroskaAudioRecording : public MatroskaRecording, public ::testing::WithParamInterface<AudioPlanCase> {
protected:
    // One second of the clip's audio, delivered as beginning at time.
    bool AddSecond(StreamRecorder& recorder, size_t second, uint64_t time) const {
        const AudioPlanCase& row = GetParam();
        std::ifstream file(std::string(FENNWICK_CAMSIM_CLIPS) + "/" + row.clip, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const size_t perSecond = row.bitRate / 8;
        EXPECT_GE(bytes.size(), (second + 1) * perSecond) << row.clip;
        const std::span<const uint8_t> piece(bytes.data() + second * perSecond, perSecond);
        return recorder.AddAudio({row.codec, row.bitRate}, piece, time);
    }
};

TEST_P(MatroskaAudioRecording, FileHoldsWhatAudioCameInTime) {
    const AudioPlanCase& row = GetParam();
    std::vector<ClipFrame> frames = MakeClip(kH264Clip);
    const size_t half = frames.size() / 2;
    FrameAllocator allocator;
    StreamRecorder recorder("rec", OutputPath());
    recorder.ExpectAudio();
    constexpr uint64_t kSecond = 10000000;
    if (row.beforeVideo) {
        EXPECT_FALSE(AddSecond(recorder, 0, kMorning - kSecond)) << "audio written before the first key frame";
    }
    DeliverAll(recorder, allocator, kH264Clip, std::vector<ClipFrame>(frames.begin(), frames.begin() + ptrdiff_t(half)));
    const bool writable = row.probedCodec[0] != '\0';
    if (row.clip) {
        EXPECT_EQ(AddSecond(recorder, 1, kMorning), writable);
    }
    DeliverAll(recorder, allocator, kH264Clip, frames, half);
    if (row.clip) {
        EXPECT_EQ(AddSecond(recorder, 2, kMorning + half * m_frameInterval), writable);
    }
    EXPECT_FALSE(recorder.Finish());
    const StreamReport report = recorder.Report();
    EXPECT_EQ(report.framesWritten, frames.size()) << "video lost while the file waited for audio";
    EXPECT_EQ(report.audioFramesWritten, row.written);
    EXPECT_EQ(ProbeEntries(OutputPath(), "stream=codec_name", "", "a:0")["codec_name"], row.probedCodec);
    ExpectCleanDecode(OutputPath());
}

const AudioPlanCase AUDIO_PLAN_CASES[] = {
    {"MuLawAfterTheFirstKeyFrame", AudioCodec::MuLaw, 64000, "voice-8k.ulaw", false, "pcm_mulaw", 2},
    {"ALawAlsoBeforeIt", AudioCodec::ALaw, 64000, "voice-8k.alaw", true, "pcm_alaw", 2},
    {"G726At32k", AudioCodec::G726, 32000, "voice-8k-32k.g726", false, "adpcm_g726", 2},
    {"AacLeftOut", AudioCodec::Aac, 64000, "voice-16k.aac", false, "", 0},
    {"NoAudioCame", AudioCodec::MuLaw, 64000, nullptr, false, "", 0},
};

INSTANTIATE_TEST_SUITE_P(AudioPlans, MatroskaAudioRecording, ::testing::ValuesIn(AUDIO_PLAN_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace fennwick_host
