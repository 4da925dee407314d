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
    EXPECT_TRUE(answer.starts_with("StreamName=rec-1-000001,Start=20261206T204640.000Z,End=20261206T204640.000Z\r\n")) << answer;
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

// The answer's Range names the first frame's recorded time, and the first RTP
// packet carries the timestamp RTP-Info gives for it.
TEST_P(ReplayRange, StartsAtTheRecordedFrameAtOrAfterTheStart) {
    const RangeCase& row = GetParam();
    const std::vector<int64_t> times = m_rtsp->Recordings()->FrameTimes();
    const std::string url = "rtsp://127.0.0.1:" + std::to_string(m_rtsp->GetPort()) + "/stream?name=" + m_rtsp->Recordings()->Recordings().front().name;
    test::RawRtspConnection connection(m_rtsp->GetPort());
    ASSERT_TRUE(connection.Request("DESCRIBE", url).starts_with("RTSP/1.0 200"));
    const std::string setUp = connection.Request("SETUP", url + "/trackID=1", "Transport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n");
    std::string headers = "Session: " + test::SessionId(setUp) + "\r\n";
    if (*row.range)
        headers += std::string("Range: ") + row.range + (std::string(row.range) == "clock=" ? FormatCameraTime(times[10] + row.offsetMs) + "-" : "") + "\r\n";
    const std::string play = connection.Request("PLAY", url, headers);
    if (row.firstFrame < 0) {
        EXPECT_TRUE(play.starts_with("RTSP/1.0 457")) << play;
        return;
    }
    if (*row.range) {
        EXPECT_NE(play.find("Range: clock=" + FormatCameraTime(times[size_t(row.firstFrame)]) + "-\r\n"), std::string::npos) << play;
    }
    const size_t rtpTime = play.find("rtptime=");
    ASSERT_NE(rtpTime, std::string::npos) << play;
    auto packet = connection.ReadInterleaved();
    while (packet && packet->first != 0)
        packet = connection.ReadInterleaved();
    ASSERT_TRUE(packet && packet->second.size() >= 8);
    const std::vector<uint8_t>& rtp = packet->second;
    EXPECT_EQ(uint32_t(rtp[4]) << 24 | uint32_t(rtp[5]) << 16 | uint32_t(rtp[6]) << 8 | rtp[7],
              uint32_t(std::strtoul(play.c_str() + rtpTime + 8, nullptr, 10)));
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
