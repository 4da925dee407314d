// The H.264 RTSP channel against cameras with habits met in the field, each
// switched on in camsim: a Content-Base without scheme, a description without
// o= line or session-level control, sequence numbers that start again, a
// marked SEI before the slices, Digest and Basic offered together, Digest with
// qop="auth", a short session time-out and key frames larger than 1 MiB. The
// stream must keep flowing in every case; the quirks of the RTP path run on
// every transport, the others on UDP.
#include "channels/CH264ChannelRTSP.h"

#include "support/ChannelRig.h"
#include "support/WaitUntil.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvex {
namespace {

using namespace std::chrono_literals;
using namespace test;

constexpr auto kLimit = 10000ms;

// Whether a frame carries an IDR slice.
bool HasIdrSlice(const std::vector<uint8_t>& data) {
    for (size_t i = 0; i + 3 < data.size(); ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && (data[i + 3] & 0x1F) == 5)
            return true;
    return false;
}

struct QuirkCase {
    const char* rtpMode; // RTPoverUDP, RTPoverTCP, RTPoverRTSP (interleaved)
};

void PrintTo(const QuirkCase& value, std::ostream* out) { *out << value.rtpMode; }

class CameraQuirks : public ::testing::TestWithParam<QuirkCase> {
protected:
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

    void StartStream() {
        m_server = std::make_unique<camsim::RtspServer>(options);
        std::string error;
        ASSERT_TRUE(m_server->Start(error)) << error;
        m_channel = std::make_unique<CH264ChannelRTSP>(
            0, &driver, &sink, PortOnly(m_server->GetPort()));
        ChannelStartParameters parameters;
        parameters.width = 320;
        parameters.height = 240;
        parameters.kind = kRecordingChannel;
        ASSERT_TRUE(m_channel->Start(parameters));
    }
    // At least `frames` frames arrive, the first a key frame, and the channel
    // never reported a lost signal.
    void ExpectFlowing(size_t frames, std::chrono::milliseconds limit = kLimit) {
        EXPECT_TRUE(WaitUntil([&] { return sink.FrameCount() >= frames; }, limit))
            << sink.FrameCount() << " frames; " << Log();
        EXPECT_EQ(m_channel->GetState(), uint32_t(kChannelStreaming));
        EXPECT_TRUE(sink.SignalLostTimes().empty());
        ASSERT_FALSE(sink.Types().empty());
        EXPECT_EQ(sink.Types().front(), kTypeH264KeyFrame);
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

// Quirks of the description, the authorisation and the payload do not depend on
// how RTP travels: one transport is enough for them.
class CameraQuirksOneTransport : public CameraQuirks {};

TEST_P(CameraQuirksOneTransport, ContentBaseWithoutSchemeAndBareDescription) {
    options.quirks.contentBaseWithoutScheme = true;
    options.quirks.bareDescription = true;
    StartStream();
    ExpectFlowing(10);
    // The scheme-less base is not taken: the track is set up below the URL asked for.
    const std::string url = "rtsp://127.0.0.1:" + std::to_string(m_server->GetPort()) + "/video1/trackID=1";
    EXPECT_EQ(CountRequests(m_server->RequestLog(), "SETUP " + url), 1u);
}

TEST_P(CameraQuirks, SequenceNumbersThatStartAgainMidStream) {
    // Restarts in the middle of the clip's 10-frame groups: the depacketiser
    // drops the picture in progress and waits for the next key frame.
    options.quirks.restartSequenceEvery = 7;
    StartStream();
    ExpectFlowing(30, 15000ms);
    EXPECT_EQ(CountRequests(m_server->RequestLog(), "SETUP"), 1u);
}

TEST_P(CameraQuirksOneTransport, MarkedSeiBeforeTheSlicesKeepsEveryKeyFrameWhole) {
    options.quirks.seiWithMarker = true;
    StartStream();
    ExpectFlowing(25);
    const std::vector<uint32_t> types = sink.Types();
    const std::vector<std::vector<uint8_t>> frames = sink.Frames();
    size_t keyFrames = 0;
    for (size_t i = 0; i < std::min(types.size(), frames.size()); ++i) {
        EXPECT_EQ(types[i] == kTypeH264KeyFrame, HasIdrSlice(frames[i])) << "frame " << i;
        keyFrames += types[i] == kTypeH264KeyFrame ? 1 : 0;
    }
    // One key frame in ten (no frame made of the parameter sets and the SEI alone).
    EXPECT_LE(keyFrames, types.size() / 10 + 1);
}

TEST_P(CameraQuirksOneTransport, DigestAndBasicOfferedTogether) {
    options.quirks.digestAndBasic = true;
    StartStream();
    ExpectFlowing(10);
}

TEST_P(CameraQuirksOneTransport, DigestChallengeWithQopAuth) {
    options.quirks.digestQop = true;
    StartStream();
    ExpectFlowing(10);
}

TEST_P(CameraQuirks, SessionTimeOutShorterThanTheUsualKeepAlive) {
    // 2 s: the default keep-alive interval (30 s) would lose the session.
    options.sessionTimeoutSeconds = 2;
    StartStream();
    ExpectFlowing(5);
    const size_t framesBefore = sink.FrameCount();
    std::this_thread::sleep_for(6000ms);
    EXPECT_GT(sink.FrameCount(), framesBefore + 40);
    EXPECT_TRUE(sink.SignalLostTimes().empty());
    EXPECT_EQ(m_server->ActiveSessionCount(), 1u);
    EXPECT_EQ(CountRequests(m_server->RequestLog(), "SETUP"), 1u);
    EXPECT_GE(CountRequests(m_server->RequestLog(), "GET_PARAMETER"), 3u);
}

TEST_P(CameraQuirks, KeyFramesLargerThanOneMebibyte) {
    constexpr uint32_t kKeyFrameBytes = 1100 * 1024;
    options.quirks.keyFrameBytes = kKeyFrameBytes;
    StartStream();
    ExpectFlowing(15);
    const std::vector<uint32_t> types = sink.Types();
    const std::vector<uint32_t> sizes = sink.Sizes();
    size_t bigKeyFrames = 0;
    for (size_t i = 0; i < types.size(); ++i)
        if (types[i] == kTypeH264KeyFrame) {
            EXPECT_GT(sizes[i], 1u << 20) << "frame " << i;
            ++bigKeyFrames;
        }
    EXPECT_GE(bigKeyFrames, 2u);
}

INSTANTIATE_TEST_SUITE_P(Transports, CameraQuirks,
                         ::testing::Values(QuirkCase{"RTPoverUDP"}, QuirkCase{"RTPoverTCP"}, QuirkCase{"RTPoverRTSP"}),
                         [](const auto& info) { return std::string(info.param.rtpMode); });
INSTANTIATE_TEST_SUITE_P(Udp, CameraQuirksOneTransport, ::testing::Values(QuirkCase{"RTPoverUDP"}),
                         [](const auto& info) { return std::string(info.param.rtpMode); });

} // namespace
} // namespace talvex
