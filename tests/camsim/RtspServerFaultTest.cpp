// camsim's RTSP server faults that a client sees on its RTSP connection: a
// burst of garbage bytes, a key frame grown far above the usual size, and a
// description without its audio track.
#include "RtspServer.h"

#include "RawRtspConnection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace camsim::test;

constexpr size_t RTP_HEADER_BYTES = 12; // camsim sends neither CSRCs nor extensions
constexpr uint32_t GROWN_KEY_FRAME_BYTES = 3 * 1024 * 1024;

// Video frames as their RTP payload sizes summed up to the marker bit.
class FrameSizes {
public:
    // False when the sequence numbers skip.
    bool Add(std::span<const uint8_t> packet) {
        if (packet.size() < RTP_HEADER_BYTES)
            return false;
        const uint16_t sequence = uint16_t(packet[2] << 8 | packet[3]);
        const bool inOrder = !m_lastSequence || uint16_t(*m_lastSequence + 1) == sequence;
        m_lastSequence = sequence;
        m_current += packet.size() - RTP_HEADER_BYTES;
        if (packet[1] & 0x80) {
            sizes.push_back(m_current);
            m_current = 0;
        }
        return inOrder;
    }
    std::vector<size_t> sizes;

private:
    std::optional<uint16_t> m_lastSequence;
    size_t m_current = 0;
};

class RtspServerFaults : public ::testing::Test {
protected:
    void SetUp() override {
        camsim::RtspServerOptions options;
        options.audio = false;
        m_server = std::make_unique<camsim::RtspServer>(options);
        std::string error;
        ASSERT_TRUE(m_server->Start(error)) << error;
        m_url = "rtsp://127.0.0.1:" + std::to_string(m_server->GetPort()) + "/video1";
    }
    void TearDown() override { m_server->Stop(); }

    // DESCRIBE, SETUP interleaved on channels 0-1, PLAY.
    bool PlayInterleaved(RawRtspConnection& connection) {
        if (!connection.Request("DESCRIBE", m_url).starts_with("RTSP/1.0 200"))
            return false;
        const std::string setUp =
            connection.Request("SETUP", m_url + "/trackID=1", "Transport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n");
        const std::string session = SessionId(setUp);
        return setUp.starts_with("RTSP/1.0 200") &&
               connection.Request("PLAY", m_url, "Session: " + session + "\r\n").starts_with("RTSP/1.0 200");
    }

    std::unique_ptr<camsim::RtspServer> m_server;
    std::string m_url;
};

TEST_F(RtspServerFaults, GarbageBurstReachesEveryConnectionBetweenAnswers) {
    RawRtspConnection first(m_server->GetPort());
    RawRtspConnection second(m_server->GetPort());
    ASSERT_TRUE(first.Connected() && second.Connected());
    ASSERT_TRUE(first.Request("OPTIONS", m_url).starts_with("RTSP/1.0 200"));
    ASSERT_TRUE(second.Request("OPTIONS", m_url).starts_with("RTSP/1.0 200"));

    m_server->SendGarbage();

    for (RawRtspConnection* connection : {&first, &second}) {
        const auto garbage = connection->ReadExactly(camsim::RtspServer::GARBAGE_BURST_BYTES);
        ASSERT_TRUE(garbage);
        const std::string text(garbage->begin(), garbage->end());
        EXPECT_FALSE(text.starts_with("RTSP/"));
        EXPECT_NE(text.find(std::string("$\x00\xFF\xFF", 4)), std::string::npos) << "no huge interleaved header";
        EXPECT_GE(std::count(text.begin(), text.end(), '$'), 16);
    }
    // The server still answers on a connection it wrote garbage to.
    EXPECT_TRUE(first.Request("OPTIONS", m_url).starts_with("RTSP/1.0 200"));
}

TEST_F(RtspServerFaults, NextKeyFrameGrowsOnceInEveryPlayingSession) {
    RawRtspConnection first(m_server->GetPort());
    RawRtspConnection second(m_server->GetPort());
    ASSERT_TRUE(PlayInterleaved(first));
    ASSERT_TRUE(PlayInterleaved(second));
    FrameSizes firstSizes;
    FrameSizes secondSizes;
    // Reads the next frame of each connection in turn.
    const auto readFrames = [&](size_t count) {
        for (auto [connection, sizes] : {std::pair{&first, &firstSizes}, std::pair{&second, &secondSizes}}) {
            const size_t target = sizes->sizes.size() + count;
            while (sizes->sizes.size() < target) {
                const auto frame = connection->ReadInterleaved();
                ASSERT_TRUE(frame);
                if (frame->first == 0) {
                    ASSERT_TRUE(sizes->Add(frame->second)) << "sequence numbers skip";
                }
            }
        }
    };
    readFrames(2);
    m_server->GrowNextKeyFrame(GROWN_KEY_FRAME_BYTES);
    // camsim's clips have a key frame at least every second (10 frames); three seconds hold several.
    for (int i = 0; i < 30; ++i)
        readFrames(1);
    for (const FrameSizes* sizes : {&firstSizes, &secondSizes}) {
        const auto grown = std::count_if(sizes->sizes.begin(), sizes->sizes.end(),
                                         [](size_t size) { return size >= GROWN_KEY_FRAME_BYTES; });
        EXPECT_EQ(grown, 1);
        EXPECT_LT(*std::min_element(sizes->sizes.begin(), sizes->sizes.end()), 1024u * 1024u);
    }
}

// With or without the fault, what a client finds of the audio track: the
// description's audio media and the answer to its SETUP.
struct AudioTrackCase {
    const char* name;
    bool noAudioTrack;
    bool described;
    const char* setupStatus;
};

void PrintTo(const AudioTrackCase& value, std::ostream* out) { *out << value.name; }

class RtspAudioTrackFault : public ::testing::TestWithParam<AudioTrackCase> {};

TEST_P(RtspAudioTrackFault, DescriptionAndSetupOfTheAudioTrack) {
    camsim::RtspServer server{camsim::RtspServerOptions{}};
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    server.Faults().noAudioTrack = GetParam().noAudioTrack;
    const std::string url = "rtsp://127.0.0.1:" + std::to_string(server.GetPort()) + "/video1";
    RawRtspConnection connection(server.GetPort());
    ASSERT_TRUE(connection.Request("DESCRIBE", url).starts_with("RTSP/1.0 200"));
    EXPECT_EQ(connection.LastBody().find("m=audio") != std::string::npos, GetParam().described) << connection.LastBody();
    EXPECT_NE(connection.LastBody().find("m=video"), std::string::npos);
    const std::string setUp =
        connection.Request("SETUP", url + "/trackID=2", "Transport: RTP/AVP/TCP;unicast;interleaved=2-3\r\n");
    EXPECT_TRUE(setUp.starts_with(GetParam().setupStatus)) << setUp;
    server.Stop();
}

INSTANTIATE_TEST_SUITE_P(AudioTrack, RtspAudioTrackFault,
                         ::testing::Values(AudioTrackCase{"Served", false, true, "RTSP/1.0 200"},
                                           AudioTrackCase{"LeftOut", true, false, "RTSP/1.0 404"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
