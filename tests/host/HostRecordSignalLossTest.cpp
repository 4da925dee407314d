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
using fennwick_host::test::RunTool;

using HostRecordSignalLoss = CamsimRecording;

TEST_F(HostRecordSignalLoss, SummaryCountsTheLostSignalAndTheFileStaysValid) {
    START_CAMERA_OR_SKIP();
    auto run = std::async(std::launch::async, [this] {
        return RunTool(std::string(FENNWICK_HOST_EXECUTABLE) + " record" + DeviceArguments() +
                       " --stream rec --seconds 16 --out " + Out());
    });
    // A few seconds of pictures, then silence on every session, which stays open.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    m_rtsp->Faults().stopSending = true;
    auto result = run.get();
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("stream rec: H.264 -> " + Out() + "/rec.mkv"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("signal losses 0"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("Signal was lost"), std::string::npos) << result.output;
    ExpectCleanDecode(Out() + "/rec.mkv");
}

} // namespace
