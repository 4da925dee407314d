// camsim's audio as a client meets it through its command line: the file of
// what it heard, an upload closed mid-body and an audio stream cut mid-piece
// (its two HTTP audio faults), a chunked upload, and a fault flag with a value
// it cannot take. The chunked decoder's own rules are in ChunkedBodyDecoderTest.
#include "support/ChildProcess.h"
#include "support/HostDirectory.h"
#include "support/LoopbackHttp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace camsim {
namespace {

using namespace std::chrono_literals;
using talvex::test::BodyOf;
using talvex::test::LoopbackExchange;
using talvex::test::LoopbackGet;
using talvex::test::StatusOf;

// camsim writing what it hears to heard, with more flags; Port() after READY.
struct CamsimProcess {
    explicit CamsimProcess(const std::vector<std::string>& flags) : camsim([&] {
        std::vector<std::string> arguments{FENNWICK_CAMSIM_EXECUTABLE, "--model", "SNC-VB630", "--auth", "none",
                                           "--audio-out-file", heard};
        arguments.insert(arguments.end(), flags.begin(), flags.end());
        return arguments;
    }()) {}
    uint16_t Port() {
        const std::optional<std::string> ready = camsim.ReadLine(10s);
        EXPECT_TRUE(ready && ready->starts_with("READY http=")) << ready.value_or("no READY line");
        return ready && ready->starts_with("READY http=") ? uint16_t(std::stoul(ready->substr(11))) : 0;
    }

    const talvex::test::HostDirectory folder;
    const std::string heard = folder.Path() + "heard.raw";
    talvex::test::ChildProcess camsim;
};

TEST(CamsimAudioCommandLine, FaultFlagsCutTheUploadAndTheStream) {
    CamsimProcess process({"--audio-fault-upload-close", "100", "--audio-fault-cut-after", "1500"});
    const uint16_t port = process.Port();
    ASSERT_NE(port, 0);
    const std::string upload = "POST /audio-out/g711_64.cgi HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 1000\r\n\r\n";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(LoopbackExchange(port, upload + std::string(1000, 'x'), 3s), "") << "the camera answered an upload it cut";
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s) << "the camera kept the cut upload's connection open";
    // Running when the cut comes: 20 ms pieces of G.711 up to it, then half a piece.
    const std::string audio = LoopbackGet(port, "/audio", 3s);
    EXPECT_EQ(StatusOf(audio), 200);
    EXPECT_EQ(BodyOf(audio).size() % 160, 80u) << BodyOf(audio).size();
    EXPECT_LT(BodyOf(audio).size(), 2 * 8000u) << "the stream outlived the cut";
    EXPECT_EQ(process.camsim.Stop(), 0);
    EXPECT_EQ(std::filesystem::file_size(process.heard), 100u);
}

TEST(CamsimAudioCommandLine, ChunkedUploadIsAnsweredOnceWhole) {
    CamsimProcess process({});
    const uint16_t port = process.Port();
    ASSERT_NE(port, 0);
    std::string request = "POST /audio-out/g726_32.cgi HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n"
                          "Connection: close\r\n\r\n";
    for (int i = 0; i < 5; ++i)
        request += "3e8\r\n" + std::string(1000, '\x55') + "\r\n";
    const std::string answer = LoopbackExchange(port, request + "0\r\n\r\n", 3s);
    EXPECT_EQ(StatusOf(answer), 200) << answer;
    EXPECT_EQ(answer.find("HTTP/1.1", 1), std::string::npos) << answer;
    EXPECT_EQ(process.camsim.Stop(), 0);
    EXPECT_EQ(std::filesystem::file_size(process.heard), 5000u);
}

TEST(CamsimAudioCommandLine, RefusesAFaultFlagWithoutANumber) {
    const auto refused = talvex::test::RunTool(std::string(FENNWICK_CAMSIM_EXECUTABLE) +
                                               " --model SNC-VB630 --audio-fault-cut-after soon");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.output.find("--audio-fault-cut-after takes a number"), std::string::npos) << refused.output;
}

} // namespace
} // namespace camsim
