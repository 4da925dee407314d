// The H.264 RTSP channel against cameras with habits met in the field, each
// switched on in camsim: a Content-Base without scheme, a description without
// o= line or session-level control, sequence numbers that start again, a short
// session time-out and key frames larger than 1 MiB. The stream must keep
// flowing in every case; the quirks of the RTP path run on every transport, the
// description's on UDP. The authorisation quirks (Digest and Basic together,
// qop="auth") and the marked SEI are rules of the RTSP client and the H.264
// depacketiser, unit-tested there against the same answers and packets.
#include "channels/CH264ChannelRTSP.h"

#include "support/ChannelRig.h"
#include "support/WaitUntil.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace talvex {
namespace {

using namespace std::chrono_literals;
using namespace test;

class CameraQuirks;

// A quirk camsim is switched to, the RTP transport, the frames that must
// arrive (the first a key frame, no loss reported, one SETUP) and what else
// the quirk must leave intact.
struct QuirkCase {
    const char* name;
    const char* rtpMode; // RTPoverUDP, RTPoverTCP, RTPoverRTSP (interleaved)
    void (*quirk)(camsim::RtspServerOptions&);
    size_t frames;
    void (*check)(CameraQuirks&) = nullptr;
};

void PrintTo(const QuirkCase& value, std::ostream* out) { *out << value.name << "_" << value.rtpMode; }

class CameraQuirks : public ::testing::TestWithParam<QuirkCase> {
public:
    CameraQuirks() {
        options.generation = 6;
        options.audio = false;
        options.auth = camsim::AuthMode::Digest;
        UseShortTimeouts(driver, allocator, 6);
        driver.m_hostDirectory = m_host.Path();
        sink.keepBytes = true;
    }
    void TearDown() override {
        if (m_channel)
            m_channel->Stop();
        if (m_server)
            m_server->Stop();
    }

    std::string Log() const {
        std::string log;
        for (const LogLine& line : driver.Lines())
            log += line.text + "\n";
        return log;
    }

    HostDirectory m_host{GetParam().rtpMode};
    camsim::RtspServerOptions options;
    std::unique_ptr<camsim::RtspServer> m_server;
    FakeDriver driver{"127.0.0.1", 80, "admin", "admin"};
    LockedFrameAllocator allocator;
    FakeChannelSink sink;
    std::unique_ptr<CH264ChannelRTSP> m_channel;
};

TEST_P(CameraQuirks, StreamKeepsFlowing) {
    GetParam().quirk(options);
    m_server = std::make_unique<camsim::RtspServer>(options);
    std::string error;
    ASSERT_TRUE(m_server->Start(error)) << error;
    m_channel = std::make_unique<CH264ChannelRTSP>(0, &driver, &sink, PortOnly(m_server->GetPort()));
    ChannelStartParameters parameters; // the recording channel's
    parameters.width = 320;
    parameters.height = 240;
    ASSERT_TRUE(m_channel->Start(parameters));
    EXPECT_TRUE(WaitUntil([&] { return sink.FrameCount() >= GetParam().frames; }, 15000ms))
        << sink.FrameCount() << " frames; " << Log();
    EXPECT_EQ(m_channel->GetState(), uint32_t(kChannelStreaming));
    EXPECT_TRUE(sink.SignalLostTimes().empty());
    ASSERT_FALSE(sink.Types().empty());
    EXPECT_EQ(sink.Types().front(), kTypeH264KeyFrame);
    EXPECT_EQ(CountRequests(m_server->RequestLog(), "SETUP"), 1u);
    if (GetParam().check)
        GetParam().check(*this);
}

// The scheme-less base is not taken: the track is set up below the URL asked for.
void SetUpBelowTheUrlAskedFor(CameraQuirks& test) {
    const std::string url = "rtsp://127.0.0.1:" + std::to_string(test.m_server->GetPort()) + "/video1/trackID=1";
    EXPECT_EQ(CountRequests(test.m_server->RequestLog(), "SETUP " + url), 1u);
}

// 2 s: the default keep-alive interval (30 s) would lose the session.
void SessionKeptAlive(CameraQuirks& test) {
    const size_t framesBefore = test.sink.FrameCount();
    std::this_thread::sleep_for(6000ms);
    EXPECT_GT(test.sink.FrameCount(), framesBefore + 40);
    EXPECT_TRUE(test.sink.SignalLostTimes().empty());
    EXPECT_EQ(test.m_server->ActiveSessionCount(), 1u);
    EXPECT_GE(CountRequests(test.m_server->RequestLog(), "GET_PARAMETER"), 3u);
}

void KeyFramesAboveOneMebibyte(CameraQuirks& test) {
    const std::vector<uint32_t> types = test.sink.Types();
    const std::vector<uint32_t> sizes = test.sink.Sizes();
    size_t bigKeyFrames = 0;
    for (size_t i = 0; i < types.size(); ++i)
        if (types[i] == kTypeH264KeyFrame) {
            EXPECT_GT(sizes[i], 1u << 20) << "frame " << i;
            ++bigKeyFrames;
        }
    EXPECT_GE(bigKeyFrames, 2u);
}

// Quirks of the RTP path on every transport; the description's does not
// depend on how RTP travels.
std::vector<QuirkCase> QuirkCases() {
    std::vector<QuirkCase> cases = {
        {"BareDescription", "RTPoverUDP",
         [](auto& o) { o.quirks.contentBaseWithoutScheme = o.quirks.bareDescription = true; }, 10,
         SetUpBelowTheUrlAskedFor},
    };
    for (const char* mode : {"RTPoverUDP", "RTPoverTCP", "RTPoverRTSP"}) {
        // Restarts in the middle of the clip's 10-frame groups: the depacketiser
        // drops the picture in progress and waits for the next key frame.
        cases.push_back({"SequenceRestart", mode, [](auto& o) { o.quirks.restartSequenceEvery = 7; }, 30});
        cases.push_back({"ShortSessionTimeOut", mode, [](auto& o) { o.sessionTimeoutSeconds = 2; }, 5, SessionKeptAlive});
        cases.push_back({"HugeKeyFrames", mode, [](auto& o) { o.quirks.keyFrameBytes = 1100 * 1024; }, 15,
                         KeyFramesAboveOneMebibyte});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Quirks, CameraQuirks, ::testing::ValuesIn(QuirkCases()),
                         [](const auto& info) { return std::string(info.param.name) + "_" + info.param.rtpMode; });

} // namespace
} // namespace talvex
