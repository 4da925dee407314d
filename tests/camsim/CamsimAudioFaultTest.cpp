// camsim's audio faults as a client meets them over HTTP: an upload whose
// connection the camera closes mid-body, and an audio stream cut in the
// middle of a unit. Each row switches one fault on, makes one exchange and
// checks what the client got and what the camera counted. Beside them, the
// chunked upload a client may send instead of one long Content-Length.
#include "AudioUpload.h"

#include "Camera.h"
#include "HttpAudio.h"
#include "support/ChildProcess.h"
#include "support/HostDirectory.h"
#include "support/LoopbackHttp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace camsim {
namespace {

using namespace std::chrono_literals;
using talvex::test::BodyOf;
using talvex::test::LoopbackExchange;
using talvex::test::LoopbackGet;
using talvex::test::StatusOf;

constexpr uint64_t UPLOAD_BYTES = 8000;
constexpr uint64_t CLOSE_AFTER_BYTES = 3000;
constexpr size_t AU_HEADER_BYTES = 4;

class CamsimAudioFaults;

struct AudioFaultCase {
    const char* name;
    std::function<void(CamsimAudioFaults&)> switchOn;
    std::function<std::string(CamsimAudioFaults&)> exchange;
    std::function<void(CamsimAudioFaults&, const std::string& answer)> check;
};

void PrintTo(const AudioFaultCase& row, std::ostream* out) { *out << row.name; }

class CamsimAudioFaults : public ::testing::TestWithParam<AudioFaultCase> {
protected:
    void SetUp() override {
        CameraOptions options;
        options.model = "SNC-VB770";
        options.auth = AuthMode::None;
        m_camera = std::make_unique<Camera>(options);
        auto audio = std::make_unique<HttpAudio>(*m_camera);
        auto upload = std::make_unique<AudioUpload>(*m_camera);
        m_audio = audio.get();
        m_upload = upload.get();
        m_camera->AddServer(std::move(audio));
        m_camera->AddServer(std::move(upload));
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;
    }
    void TearDown() override { m_camera->Stop(); }

public:
    uint16_t Port() const { return m_camera->Http().Port(); }

    std::unique_ptr<Camera> m_camera;
    HttpAudio* m_audio = nullptr;   // owned by m_camera
    AudioUpload* m_upload = nullptr; // owned by m_camera
};

// The AAC units of an audio answer's body, each "00 10" and the unit size << 3
// before it; the bytes of a last unit that did not come whole are left in rest.
std::vector<size_t> AacUnitSizes(const std::string& body, size_t& rest) {
    std::vector<size_t> sizes;
    size_t offset = 0;
    while (offset + AU_HEADER_BYTES <= body.size() && body[offset] == 0x00 && body[offset + 1] == 0x10) {
        const size_t size = (size_t(uint8_t(body[offset + 2])) << 5) | (uint8_t(body[offset + 3]) >> 3);
        if (offset + AU_HEADER_BYTES + size > body.size())
            break;
        sizes.push_back(size);
        offset += AU_HEADER_BYTES + size;
    }
    rest = body.size() - offset;
    return sizes;
}

const AudioFaultCase FAULT_CASES[] = {
    {"UploadClosedMidBody",
     [](CamsimAudioFaults& test) { test.m_upload->Faults().closeAfterBytes = CLOSE_AFTER_BYTES; },
     [](CamsimAudioFaults& test) {
         const std::string head = "POST /audio-out/g711_64.cgi HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                                  std::to_string(UPLOAD_BYTES) + "\r\n\r\n";
         return LoopbackExchange(test.Port(), head + std::string(UPLOAD_BYTES, '\x7f'), 3s);
     },
     [](CamsimAudioFaults& test, const std::string& answer) {
         EXPECT_EQ(answer, "") << "the camera answered an upload it cut";
         EXPECT_EQ(test.m_upload->BytesReceived(), CLOSE_AFTER_BYTES);
         EXPECT_EQ(test.m_upload->CompleteUploads(), 0u);
         const std::string state = BodyOf(LoopbackGet(test.Port(), "/camsim/state", 2s));
         EXPECT_NE(state.find(R"("audio_out": {"codec": "g711_64", "bytes": 3000})"), std::string::npos) << state;
     }},
    {"AudioStreamCutMidUnit",
     [](CamsimAudioFaults& test) {
         test.m_camera->State().ApplyCommand(CameraState::Cgi::Camera, {{"AudInCodec", "aac16_64"}});
         test.m_audio->CutStreams(500);
     },
     [](CamsimAudioFaults& test) { return LoopbackGet(test.Port(), "/audio", 3s); },
     [](CamsimAudioFaults&, const std::string& answer) {
         EXPECT_EQ(StatusOf(answer), 200);
         size_t rest = 0;
         const std::vector<size_t> units = AacUnitSizes(BodyOf(answer), rest);
         // About 500 ms of 64 ms units came whole before the cut.
         EXPECT_GE(units.size(), 5u);
         EXPECT_GT(rest, AU_HEADER_BYTES) << "the stream did not end inside a unit";
     }},
};

TEST_P(CamsimAudioFaults, ClientSeesTheFault) {
    const AudioFaultCase& row = GetParam();
    row.switchOn(*this);
    const auto started = std::chrono::steady_clock::now();
    const std::string answer = row.exchange(*this);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s) << "the camera kept the connection open";
    row.check(*this, answer);
}

TEST_F(CamsimAudioFaults, ChunkedUploadIsAnsweredOnceWhole) {
    const std::string chunk(1000, '\x55');
    std::string request = "POST /audio-out/g726_32.cgi HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n"
                          "Connection: close\r\n\r\n";
    for (int i = 0; i < 5; ++i)
        request += "3e8\r\n" + chunk + "\r\n";
    const std::string answer = LoopbackExchange(Port(), request + "0\r\n\r\n", 3s);
    EXPECT_EQ(StatusOf(answer), 200) << answer;
    EXPECT_EQ(m_upload->BytesReceived(), 5000u);
    EXPECT_EQ(m_upload->CompleteUploads(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Faults, CamsimAudioFaults, ::testing::ValuesIn(FAULT_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// The command line: the output file and both HTTP audio faults, and a fault
// flag with a value it cannot take.
TEST(CamsimAudioCommandLine, TakesTheOutputFileAndTheAudioFaults) {
    const talvex::test::HostDirectory folder;
    const std::string heard = folder.Path() + "heard.raw";
    talvex::test::ChildProcess camsim({FENNWICK_CAMSIM_EXECUTABLE, "--model", "SNC-VB630", "--auth", "none",
                                       "--audio-out-file", heard, "--audio-fault-upload-close", "100",
                                       "--audio-fault-cut-after", "1500"});
    const std::optional<std::string> ready = camsim.ReadLine(10s);
    ASSERT_TRUE(ready && ready->starts_with("READY http=")) << ready.value_or("no READY line");
    const uint16_t port = uint16_t(std::stoul(ready->substr(11)));
    const std::string upload = "POST /audio-out/g711_64.cgi HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 1000\r\n\r\n";
    EXPECT_EQ(LoopbackExchange(port, upload + std::string(1000, 'x'), 3s), "");
    // Running when the cut comes: 20 ms pieces of G.711 up to it, then half a piece.
    const std::string audio = LoopbackGet(port, "/audio", 3s);
    EXPECT_EQ(StatusOf(audio), 200);
    EXPECT_EQ(BodyOf(audio).size() % 160, 80u) << BodyOf(audio).size();
    EXPECT_LT(BodyOf(audio).size(), 2 * 8000u) << "the stream outlived the cut";
    EXPECT_EQ(camsim.Stop(), 0);
    EXPECT_EQ(std::filesystem::file_size(heard), 100u);

    const auto refused = talvex::test::RunTool(std::string(FENNWICK_CAMSIM_EXECUTABLE) +
                                               " --model SNC-VB630 --audio-fault-cut-after soon");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.output.find("--audio-fault-cut-after takes a number"), std::string::npos) << refused.output;
}

} // namespace
} // namespace camsim
