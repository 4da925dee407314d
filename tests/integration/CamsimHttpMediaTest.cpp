// camsim's video over the web server, as a plain client sees it: the
// multipart motion JPEG answer and RTP over UDP started by a GET, their
// lifetimes, refusals and faults; and the command line serving them.
#include "HttpMedia.h"

#include "Camera.h"
#include "RtpPacketisers.h"
#include "platform/CSocket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace camsim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Sends one GET and collects what arrives for the given time (or until the server closes).
std::string Fetch(uint16_t port, const std::string& target, std::chrono::milliseconds duration) {
    talvex::CSocket socket;
    sockaddr_in address{};
    if (!socket.CreateTcp() || !talvex::ResolveIPv4("127.0.0.1", port, address) ||
        !socket.ConnectStepped(address, 10, 100, -1))
        return {};
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (!socket.SendAll({reinterpret_cast<const uint8_t*>(request.data()), request.size()}, -1, 1000))
        return {};
    std::string answer;
    std::vector<uint8_t> buffer(65536);
    const auto end = Clock::now() + duration;
    while (Clock::now() < end) {
        size_t received = 0;
        const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
        const talvex::SocketResult result = socket.Receive(buffer, received, -1, std::max(1, left));
        if (result == talvex::SocketResult::TimedOut)
            continue;
        if (result != talvex::SocketResult::Data)
            break;
        answer.append(reinterpret_cast<const char*>(buffer.data()), received);
    }
    return answer;
}

int StatusOf(const std::string& answer) {
    return answer.size() > 12 ? std::atoi(answer.c_str() + 9) : 0;
}

struct Part {
    std::string picture;
    bool whole = false;
};

// The parts of a multipart/x-mixed-replace body with boundary "myboundary".
std::vector<Part> ReadParts(const std::string& answer) {
    std::vector<Part> parts;
    size_t position = answer.find("\r\n\r\n");
    while (position != std::string::npos) {
        position = answer.find("--myboundary\r\n", position);
        if (position == std::string::npos)
            break;
        const size_t length = answer.find("Content-Length: ", position);
        const size_t body = answer.find("\r\n\r\n", position);
        if (length == std::string::npos || body == std::string::npos)
            break;
        const size_t size = std::strtoul(answer.c_str() + length + 16, nullptr, 10);
        Part part;
        part.picture = answer.substr(body + 4, size);
        part.whole = part.picture.size() == size && answer.compare(body + 4 + size, 2, "\r\n") == 0;
        parts.push_back(part);
        position = body + 4 + part.picture.size();
    }
    return parts;
}

bool IsJpeg(const std::string& picture) {
    return picture.size() > 4 && picture.compare(0, 2, "\xFF\xD8") == 0 &&
           picture.compare(picture.size() - 2, 2, "\xFF\xD9") == 0;
}

// A client's RTP and RTCP sockets on a free even port and the next one.
struct UdpPair {
    talvex::CSocket rtp;
    talvex::CSocket rtcp;
    uint16_t port = 0;

    bool Open() {
        for (uint16_t candidate = 42000; candidate < 43000; candidate += 2) {
            rtp = talvex::CSocket();
            rtcp = talvex::CSocket();
            in_addr loopback{};
            talvex::ParseIPv4("127.0.0.1", loopback);
            if (rtp.CreateUdp() && rtp.Bind(loopback.s_addr, candidate) && rtcp.CreateUdp() &&
                rtcp.Bind(loopback.s_addr, uint16_t(candidate + 1))) {
                port = candidate;
                return true;
            }
        }
        return false;
    }
};

class CamsimHttpMedia : public ::testing::Test {
protected:
    void StartCamera(const std::string& model) {
        CameraOptions options;
        options.model = model;
        options.auth = AuthMode::None;
        m_camera = std::make_unique<Camera>(options);
        auto media = std::make_unique<HttpMedia>(*m_camera);
        m_media = media.get();
        m_camera->AddServer(std::move(media));
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;
    }
    void Set(const std::string& key, const std::string& value) {
        m_camera->State().ApplyCommand(CameraState::Cgi::Camera, {{key, value}});
    }
    std::string StartRtp(const std::string& path, uint16_t port) {
        return Fetch(m_camera->Http().Port(), path + "?UdpMode=unicast&UdpPort=" + std::to_string(port), 300ms);
    }
    void TearDown() override {
        if (m_camera)
            m_camera->Stop();
    }

    std::unique_ptr<Camera> m_camera;
    HttpMedia* m_media = nullptr; // owned by m_camera
};

TEST_F(CamsimHttpMedia, MotionJpegIsAMultipartOfWholePicturesAtTheCameraRate) {
    StartCamera("SNC-RH124");
    Set("JpFrameRate", "10");
    const std::string answer = Fetch(m_camera->Http().Port(), "/mjpeg", 1050ms);
    EXPECT_EQ(StatusOf(answer), 200);
    EXPECT_NE(answer.find("Content-Type: multipart/x-mixed-replace;boundary=myboundary\r\n"), std::string::npos);
    const std::vector<Part> parts = ReadParts(answer);
    // One at once, then one each 100 ms.
    EXPECT_GE(parts.size(), 10u);
    EXPECT_LE(parts.size(), 12u);
    for (const Part& part : parts) {
        EXPECT_TRUE(part.whole);
        EXPECT_TRUE(IsJpeg(part.picture));
    }
    EXPECT_EQ(m_media->StreamStarts(), 1u);
}

TEST_F(CamsimHttpMedia, ImagePathsServeMotionJpegAndSpeedSetsTheRate) {
    StartCamera("SNC-Z20N"); // JpFrameRate=8
    EXPECT_LE(ReadParts(Fetch(m_camera->Http().Port(), "/image?speed=2", 1050ms)).size(), 3u);
    EXPECT_GE(ReadParts(Fetch(m_camera->Http().Port(), "/image", 1050ms)).size(), 8u);
    EXPECT_EQ(StatusOf(Fetch(m_camera->Http().Port(), "/image1", 200ms)), 200);
    EXPECT_EQ(StatusOf(Fetch(m_camera->Http().Port(), "/image4", 200ms)), 404);
    EXPECT_EQ(StatusOf(Fetch(m_camera->Http().Port(), "/imagefile", 200ms)), 404);
    EXPECT_EQ(StatusOf(Fetch(m_camera->Http().Port(), "/mjpeg/x", 200ms)), 404);
}

TEST_F(CamsimHttpMedia, MotionJpegDroppedMidPictureClosesAfterHalfAPicture) {
    StartCamera("SNC-RH124");
    m_media->DropStreams(250);
    const auto started = Clock::now();
    const std::vector<Part> parts = ReadParts(Fetch(m_camera->Http().Port(), "/mjpeg", 3000ms));
    EXPECT_LT(Clock::now() - started, 2000ms) << "the camera closed the connection";
    ASSERT_GE(parts.size(), 2u);
    EXPECT_FALSE(parts.back().whole);
    EXPECT_TRUE(parts.front().whole);
    // A stream opened after the drop is not dropped again.
    EXPECT_GE(ReadParts(Fetch(m_camera->Http().Port(), "/mjpeg", 500ms)).size(), 10u);
}

TEST_F(CamsimHttpMedia, HttpStartedRtpCarriesTheElementaryStreamToTheClientPort) {
    StartCamera("SNC-RH124");
    UdpPair client;
    ASSERT_TRUE(client.Open());
    EXPECT_EQ(StatusOf(StartRtp("/h264", client.port)), 200);
    EXPECT_EQ(m_media->ActiveRtpStreams(), 1u);

    std::vector<uint8_t> datagram(2048);
    std::vector<uint8_t> frame;
    size_t frames = 0;
    uint16_t expectedSequence = 0;
    for (size_t packets = 0; frames < 12; ++packets) {
        size_t received = 0;
        ASSERT_EQ(client.rtp.Receive(datagram, received, -1, 2000), talvex::SocketResult::Data);
        ASSERT_GT(received, 12u);
        EXPECT_EQ(datagram[0] >> 6, 2);     // RTP version
        EXPECT_EQ(datagram[1] & 0x7F, 96);  // dynamic payload type
        const uint16_t sequence = uint16_t((datagram[2] << 8) | datagram[3]);
        if (packets > 0) {
            EXPECT_EQ(sequence, expectedSequence);
        }
        expectedSequence = uint16_t(sequence + 1);
        frame.insert(frame.end(), datagram.begin() + 12, datagram.begin() + std::ptrdiff_t(received));
        if (datagram[1] & 0x80) {
            // Each frame is the stream's own bytes, from a start code on.
            EXPECT_EQ(std::vector<uint8_t>(frame.begin(), frame.begin() + 4), (std::vector<uint8_t>{0, 0, 0, 1}));
            frame.clear();
            ++frames;
        }
    }
    // Sender reports go to the next port; the client's BYE ends the stream.
    sockaddr_in camera{};
    size_t received = 0;
    ASSERT_EQ(client.rtcp.ReceiveFrom(datagram, received, camera, -1, 1500), talvex::SocketResult::Data);
    EXPECT_EQ(datagram[1], 200);
    client.rtcp.SendTo(BuildRtcpBye(1234), camera);
    const auto deadline = Clock::now() + 1s;
    while (m_media->ActiveRtpStreams() != 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(m_media->ActiveRtpStreams(), 0u);
}

TEST_F(CamsimHttpMedia, ImageWithAUdpPortStartsMpeg4) {
    StartCamera("SNC-RZ25N");
    UdpPair client;
    ASSERT_TRUE(client.Open());
    EXPECT_EQ(StatusOf(StartRtp("/image", client.port)), 200);
    std::vector<uint8_t> datagram(2048);
    size_t received = 0;
    ASSERT_EQ(client.rtp.Receive(datagram, received, -1, 2000), talvex::SocketResult::Data);
    // The first frame starts with the visual object sequence header.
    EXPECT_EQ(std::vector<uint8_t>(datagram.begin() + 12, datagram.begin() + 16),
              (std::vector<uint8_t>{0, 0, 1, 0xB0}));
}

TEST_F(CamsimHttpMedia, MalformedOrUnservableStartsAreRefused) {
    StartCamera("SNC-RH124");
    const uint16_t http = m_camera->Http().Port();
    EXPECT_EQ(StatusOf(Fetch(http, "/h264?UdpMode=multicast&UdpPort=42000", 200ms)), 400);
    EXPECT_EQ(StatusOf(Fetch(http, "/h264?UdpMode=unicast&UdpPort=0", 200ms)), 400);
    EXPECT_EQ(StatusOf(Fetch(http, "/h264?UdpMode=unicast&UdpPort=65535", 200ms)), 400);
    EXPECT_EQ(StatusOf(Fetch(http, "/h264?UdpMode=unicast&UdpPort=4x", 200ms)), 400);
    EXPECT_EQ(StatusOf(Fetch(http, "/h264?UdpMode=unicast", 200ms)), 400);
    EXPECT_EQ(m_media->ActiveRtpStreams(), 0u);
    m_camera->Stop();

    StartCamera("SNC-Z20N"); // JPEG only
    EXPECT_EQ(StatusOf(StartRtp("/h264", 42000)), 404);
    EXPECT_EQ(StatusOf(StartRtp("/image", 42000)), 404);
}

TEST_F(CamsimHttpMedia, AStartToTheSamePortReplacesItsStreamAndStartsAreBounded) {
    StartCamera("SNC-RH124");
    EXPECT_EQ(StatusOf(StartRtp("/h264", 42100)), 200);
    EXPECT_EQ(StatusOf(StartRtp("/mpeg4", 42100)), 200);
    EXPECT_EQ(m_media->ActiveRtpStreams(), 1u);
    for (uint16_t port = 42102; port < 42100 + 2 * HttpMedia::MAX_RTP_STREAMS; port += 2)
        EXPECT_EQ(StatusOf(StartRtp("/h264", port)), 200);
    EXPECT_EQ(m_media->ActiveRtpStreams(), HttpMedia::MAX_RTP_STREAMS);
    EXPECT_EQ(StatusOf(StartRtp("/h264", 42900)), 503);
}

TEST_F(CamsimHttpMedia, AStreamNobodyReportsOnEndsAfterRtpExpire) {
    StartCamera("SNC-RH124");
    Set("RtpExpire", "300");
    EXPECT_EQ(StatusOf(StartRtp("/h264", 42200)), 200);
    EXPECT_EQ(m_media->ActiveRtpStreams(), 1u);
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(m_media->ActiveRtpStreams(), 0u);
}

TEST_F(CamsimHttpMedia, StoppedSendingKeepsTheStreamsButSendsNothing) {
    StartCamera("SNC-RH124");
    m_media->Faults().stopSending = true;
    UdpPair client;
    ASSERT_TRUE(client.Open());
    EXPECT_EQ(StatusOf(StartRtp("/h264", client.port)), 200);
    std::vector<uint8_t> datagram(2048);
    size_t received = 0;
    EXPECT_EQ(client.rtp.Receive(datagram, received, -1, 500), talvex::SocketResult::TimedOut);
    EXPECT_EQ(m_media->ActiveRtpStreams(), 1u);
    const std::string answer = Fetch(m_camera->Http().Port(), "/mjpeg", 400ms);
    EXPECT_EQ(StatusOf(answer), 200);
    EXPECT_TRUE(ReadParts(answer).empty());
    m_media->Faults().stopSending = false;
    EXPECT_EQ(client.rtp.Receive(datagram, received, -1, 1000), talvex::SocketResult::Data);
}

TEST_F(CamsimHttpMedia, CameraStopEndsARunningMotionJpegAnswerPromptly) {
    StartCamera("SNC-RH124");
    std::thread client([port = m_camera->Http().Port()] { Fetch(port, "/mjpeg", 5000ms); });
    const auto deadline = Clock::now() + 2s;
    while (m_media->StreamStarts() == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    const auto stopping = Clock::now();
    m_camera->Stop();
    EXPECT_LT(Clock::now() - stopping, 1000ms);
    client.join();
}

TEST(CamsimCommandLine, ServesVideoOverTheWebServerAndTakesItsFaultFlags) {
    for (const bool stopped : {false, true}) {
        int output[2];
        ASSERT_EQ(pipe(output), 0);
        const pid_t child = fork();
        if (child == 0) {
            dup2(output[1], STDOUT_FILENO);
            if (stopped) {
                execl(FENNWICK_CAMSIM_EXECUTABLE, "fennwick-camsim", "--model", "SNC-RH124", "--auth", "none",
                      "--media-fault-stop", "--media-fault-lose", "3", nullptr);
            } else {
                execl(FENNWICK_CAMSIM_EXECUTABLE, "fennwick-camsim", "--model", "SNC-RH124", "--auth", "none", nullptr);
            }
            _exit(127);
        }
        close(output[1]);
        FILE* lines = fdopen(output[0], "r");
        char ready[128] = {};
        ASSERT_NE(std::fgets(ready, sizeof ready, lines), nullptr);
        unsigned port = 0;
        ASSERT_EQ(std::sscanf(ready, "READY http=%u", &port), 1) << ready;
        const std::string answer = Fetch(uint16_t(port), "/mjpeg", 400ms);
        EXPECT_EQ(StatusOf(answer), 200);
        EXPECT_EQ(ReadParts(answer).empty(), stopped);
        kill(child, SIGTERM);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        std::fclose(lines);
    }
}

TEST(CamsimCommandLine, MediaFaultFlagsNeedTheirNumbers) {
    HttpMediaCommandLine commandLine;
    std::string error;
    char program[] = "camsim", lose[] = "--media-fault-lose", three[] = "3", drop[] = "--media-fault-drop-after",
         word[] = "soon", other[] = "--model";
    char* argv[] = {program, lose, three, drop, word, other};
    EXPECT_EQ(ParseHttpMediaArgument(6, argv, 1, commandLine, error), 2);
    EXPECT_EQ(commandLine.loseEveryNth, 3u);
    EXPECT_EQ(ParseHttpMediaArgument(6, argv, 3, commandLine, error), -1);
    EXPECT_NE(error.find("--media-fault-drop-after"), std::string::npos);
    EXPECT_EQ(ParseHttpMediaArgument(6, argv, 5, commandLine, error), 0);
    EXPECT_EQ(ParseHttpMediaArgument(2, argv, 1, commandLine, error), -1);
}

} // namespace
} // namespace camsim
