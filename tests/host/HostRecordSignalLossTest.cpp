// fennwick-host record while the camera stops sending: the driver reports the
// lost signal after its second time-out (10 s) and the summary counts it. Waits
// on the driver's real time-outs, hence the slow label.
#include "CamsimRecordingFixture.h"

#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace {

using fennwick_host::test::CamsimRecording;
using namespace talvex::test;

using HostRecordSignalLoss = CamsimRecording;

TEST_F(HostRecordSignalLoss, SummaryCountsTheLostSignalAndTheFileStaysValid) {
    if (!StartCamera())
        GTEST_SKIP() << m_skipReason;
    const std::string events = (m_directory / "events.txt").string();
    auto run = std::async(std::launch::async, [&] {
        return RunTool(std::string(FENNWICK_HOST_EXECUTABLE) + " record" + DeviceArguments() +
                       " --stream rec --seconds 19 --events " + events + " --out " + Out());
    });
    // A few seconds of pictures, then silence on every session for 12 s, then pictures again.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    m_rtsp->Faults().stopSending = true;
    std::this_thread::sleep_for(std::chrono::seconds(12));
    m_rtsp->Faults().stopSending = false;
    auto result = run.get();
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("stream rec: H.264 -> " + Out() + "/rec.mkv"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("signal losses 0"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("Signal was lost"), std::string::npos) << result.output;
    ExpectCleanDecode(Out() + "/rec.mkv");

    // The event file: the notice, then the first frame after the silence.
    std::string lines = fennwick_host::test::ReadFile(events);
    size_t lost = lines.find(" 127.0.0.1 rec signal-lost\n");
    size_t resumed = lines.find(" 127.0.0.1 rec resumed ");
    ASSERT_NE(lost, std::string::npos) << lines;
    ASSERT_NE(resumed, std::string::npos) << lines;
    EXPECT_LT(lost, resumed) << lines;
    EXPECT_GE(std::stoul(lines.substr(resumed + std::string(" 127.0.0.1 rec resumed ").size())), 10000u) << lines;
}

} // namespace
