// What only camsim's recording side does: the search answer over its ring of
// recordings, and a replay that starts at the frame PLAY's Range names.
#include "RecordingSearch.h"

#include "Camera.h"
#include "RawRtspConnection.h"
#include "RecordingStore.h"
#include "RtspServer.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace camsim {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kT0 = 1796590000000; // 2026-12-06 20:46:40.000 UTC
constexpr int64_t kFrameMs = 100;

std::shared_ptr<const Clip> MakeClip() {
    auto clip = std::make_shared<Clip>();
    clip->frames.push_back({{{0x65, 0x88}}, true});
    clip->frames.push_back({{{0x41, 0x9A}}, false});
    return clip;
}

// 150 s at 10 frames a second from kT0: three recordings of at most a minute.
RecordingStore& FilledStore() {
    static RecordingStore store;
    static const bool filled = [] {
        const auto clip = MakeClip();
        for (int64_t time = kT0; time < kT0 + 150000; time += kFrameMs)
            store.Add(clip, size_t((time - kT0) / kFrameMs), time);
        return true;
    }();
    (void)filled;
    return store;
}

struct SearchCase {
    const char* name;
    int64_t fromMs; // relative to kT0
    int64_t toMs;
    std::vector<const char*> found;
};

void PrintTo(const SearchCase& row, std::ostream* out) { *out << row.name; }

class SearchWindow : public ::testing::TestWithParam<SearchCase> {};

TEST_P(SearchWindow, ListsTheOverlappingRecordingsOldestFirst) {
    const SearchCase& row = GetParam();
    std::string expected;
    for (const char* name : row.found)
        expected += std::string("StreamName=") + name;
    std::string listed;
    const std::string answer = RecordingSearch::FormatAnswer(FilledStore().Search(kT0 + row.fromMs, kT0 + row.toMs));
    for (size_t at = answer.find("StreamName="); at != std::string::npos; at = answer.find("StreamName=", at + 1))
        listed += answer.substr(at, answer.find(',', at) - at);
    EXPECT_EQ(listed, expected) << answer;
    EXPECT_TRUE(answer.ends_with("Remain entry =0\r\n")) << answer;
}

INSTANTIATE_TEST_SUITE_P(
    Windows, SearchWindow,
    ::testing::Values(SearchCase{"BeforeTheFirstFrame", -20000, -1, {}},
                      SearchCase{"InsideOneRecording", 10000, 20000, {"rec-1-000001"}},
                      SearchCase{"AcrossTwoRecordings", 50000, 70000, {"rec-1-000001", "rec-1-000002"}},
                      SearchCase{"FromTheLastFrameOfOne", 59900, 65000, {"rec-1-000002"}},
                      SearchCase{"UpToTheFirstFrameOfOne", 100000, 120000, {"rec-1-000002"}},
                      SearchCase{"TheWholeRing", -1000, 200000, {"rec-1-000001", "rec-1-000002", "rec-1-000003"}},
                      SearchCase{"AfterTheLastFrame", 150000, 160000, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordingSearchAnswer, NamesEntriesInCameraTimeAndCountsThoseLeftOut) {
    RecordingStore store;
    const std::vector<std::shared_ptr<const Clip>> clips{MakeClip(), MakeClip()};
    // Every codec change starts a new recording.
    for (size_t i = 0; i < RecordingSearch::MAX_ENTRIES + 2; ++i)
        store.Add(clips[i % 2], 0, kT0 + int64_t(i) * 1000);
    const std::string answer = RecordingSearch::FormatAnswer(store.Search(kT0 - 1, kT0 + 60000));
    EXPECT_TRUE(answer.starts_with("StreamName=rec-1-000001,Start=20261206T204640.000Z,End=20261206T204640.000Z\r\n"))
        << answer;
    EXPECT_TRUE(answer.ends_with("Remain entry =2\r\n")) << answer;
}

TEST(RecordingStoreRing, KeepsTheNewestQuarterHourAndStartsAgainWhenTheClockStepsBack) {
    RecordingStore store;
    const auto clip = MakeClip();
    for (int64_t time = kT0; time <= kT0 + RecordingStore::MAX_RECORDED_MS + 60000; time += 1000)
        store.Add(clip, 0, time);
    const std::vector<int64_t> times = store.FrameTimes();
    EXPECT_EQ(times.back() - times.front(), RecordingStore::MAX_RECORDED_MS);
    const std::string newest = store.Recordings().back().name;
    store.Add(clip, 0, times.back() - 5000);
    EXPECT_NE(store.Recordings().back().name, newest);
}

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 | uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

// Row: the Range header ("clock=" is followed by the tenth recorded frame's
// time plus offsetMs and "-"; "" sends none) and which recorded frame must
// come first (its index; -1: the PLAY is refused).
struct RangeCase {
    const char* name;
    const char* range;
    int64_t offsetMs;
    int firstFrame;
};

void PrintTo(const RangeCase& row, std::ostream* out) { *out << row.name; }

class ReplayRange : public ::testing::TestWithParam<RangeCase> {
protected:
    void SetUp() override {
        CameraOptions options;
        options.model = "SNC-VB630";
        options.auth = AuthMode::None;
        m_camera = std::make_unique<Camera>(options);
        auto server = std::make_unique<RtspServer>(RtspServerOptions{}, m_camera.get());
        m_rtsp = server.get();
        m_camera->AddServer(std::move(server));
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;
        ASSERT_TRUE(talvex::test::WaitUntil([&] { return m_rtsp->Recordings()->FrameTimes().size() >= 20; }, 5s));
    }
    void TearDown() override { m_camera->Stop(); }

    std::unique_ptr<Camera> m_camera;
    RtspServer* m_rtsp = nullptr;
};

// The first replayed frame's camera time, from the first sender report: its
// NTP time stands for its RTP timestamp, and RTP-Info names the first one.
TEST_P(ReplayRange, FirstFrameIsTheRecordedOneAtOrAfterTheStart) {
    const RangeCase& row = GetParam();
    const std::vector<int64_t> times = m_rtsp->Recordings()->FrameTimes();
    const std::string name = m_rtsp->Recordings()->Recordings().front().name;
    const std::string url = "rtsp://127.0.0.1:" + std::to_string(m_rtsp->GetPort()) + "/stream?name=" + name;
    test::RawRtspConnection connection(m_rtsp->GetPort());
    ASSERT_TRUE(connection.Request("DESCRIBE", url).starts_with("RTSP/1.0 200"));
    const std::string setUp =
        connection.Request("SETUP", url + "/trackID=1", "Transport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n");
    ASSERT_TRUE(setUp.starts_with("RTSP/1.0 200")) << setUp;
    std::string headers = "Session: " + test::SessionId(setUp) + "\r\n";
    if (*row.range)
        headers += std::string("Range: ") + row.range +
                   (std::string(row.range) == "clock=" ? FormatCameraTime(times[10] + row.offsetMs) + "-" : "") +
                   "\r\n";
    const std::string play = connection.Request("PLAY", url, headers);
    if (row.firstFrame < 0) {
        EXPECT_TRUE(play.starts_with("RTSP/1.0 457")) << play;
        return;
    }
    ASSERT_TRUE(play.starts_with("RTSP/1.0 200")) << play;
    const size_t rtpTime = play.find("rtptime=");
    ASSERT_NE(rtpTime, std::string::npos) << play;
    const uint32_t firstTimestamp = uint32_t(std::strtoul(play.c_str() + rtpTime + 8, nullptr, 10));
    std::optional<uint32_t> firstPacket;
    for (int i = 0; i < 200; ++i) {
        const auto frame = connection.ReadInterleaved();
        ASSERT_TRUE(frame);
        const std::vector<uint8_t>& data = frame->second;
        if (frame->first == 0 && !firstPacket)
            firstPacket = Read32(data, 4);
        if (frame->first == 1 && data.size() >= 20 && data[1] == 200) {
            ASSERT_TRUE(firstPacket);
            EXPECT_EQ(*firstPacket, firstTimestamp);
            const int64_t ntpSeconds = int64_t(Read32(data, 8)) - 2208988800ll;
            const int64_t reportMs = ntpSeconds * 1000 + int64_t((uint64_t(Read32(data, 12)) * 1000) >> 32);
            const int64_t firstMs = reportMs - int64_t(Read32(data, 16) - firstTimestamp) / 90;
            EXPECT_NEAR(double(firstMs), double(times[size_t(row.firstFrame)]), 1.0);
            return;
        }
    }
    FAIL() << "no sender report";
}

INSTANTIATE_TEST_SUITE_P(Ranges, ReplayRange,
                         ::testing::Values(RangeCase{"AtARecordedFrame", "clock=", 0, 10},
                                           RangeCase{"JustAfterAFrame", "clock=", 1, 11},
                                           RangeCase{"BeforeTheRecording", "clock=", -60000, 0},
                                           RangeCase{"WithoutRange", "", 0, 0},
                                           RangeCase{"UnreadableTime", "clock=yesterday-", 0, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace camsim
