// fennwick-host record against a camsim camera whose stream cannot start: the
// summary and the event file name the driver's cause, and no credential shows;
// --help and usage errors.
#include "Camera.h"
#include "RtspServer.h"
#include "support/ChildProcess.h"
#include "support/HostDirectory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

using talvex::test::RunTool;

constexpr const char* kPassword = "rec-pass";

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(HostStartFailure, SummaryAndEventsNameTheCause) {
    camsim::CameraOptions options;
    options.model = "SNC-VB630";
    options.password = kPassword;
    camsim::Camera camera(options);
    camsim::RtspServerOptions rtspOptions;
    rtspOptions.password = kPassword;
    rtspOptions.auth = camsim::AuthMode::Digest;
    auto rtsp = std::make_unique<camsim::RtspServer>(rtspOptions, &camera);
    camsim::RtspServer& server = *rtsp;
    camera.AddServer(std::move(rtsp));
    std::string error;
    ASSERT_TRUE(camera.Start(error)) << error;
    server.Faults().describeStatus = 503;
    const talvex::test::HostDirectory folder; // of its own: suite runs side by side do not clash
    const std::string events = folder.Path() + "events.txt";

    const auto result = RunTool(std::string(FENNWICK_HOST_EXECUTABLE) +
                                " record --generation 6 --model SNC-VB630 --address 127.0.0.1 --port " +
                                std::to_string(camera.Http().Port()) + " --user admin --password " + kPassword +
                                " --discard --seconds 4 --events " + events);
    camera.Stop();
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("  no frames: talvex::CBaseRTPChannel::Connect: Recording stream of device 127.0.0.1:" +
                                 std::to_string(camera.Http().Port()) + " cannot start: DESCRIBE rtsp://127.0.0.1:"),
              std::string::npos)
        << result.output;
    // Logged once while it lasts, named once more by the summary.
    EXPECT_EQ(Count(result.output, "/video1 answered RTSP 503"), 2u) << result.output;
    EXPECT_EQ(result.output.find(kPassword), std::string::npos) << result.output;
    std::stringstream lines;
    lines << std::ifstream(events).rdbuf();
    EXPECT_EQ(Count(lines.str(), " 127.0.0.1 rec start-failed DESCRIBE rtsp://127.0.0.1:"), 1u) << lines.str();
}

TEST(HostStartFailure, HelpAndUsageErrors) {
    const std::string host = FENNWICK_HOST_EXECUTABLE;
    for (const char* help : {" --help", " -h", " record --discard -h"}) {
        const auto result = RunTool(host + help);
        EXPECT_EQ(result.exitCode, 0) << help;
        EXPECT_TRUE(result.output.starts_with("usage: fennwick-host open")) << result.output;
    }
    const auto bad = RunTool(host + " record --generation 6 --discard --fps 99");
    EXPECT_EQ(bad.exitCode, 2);
    // The fault first, then the usage.
    EXPECT_TRUE(bad.output.starts_with("fennwick-host: --fps")) << bad.output;
    EXPECT_NE(bad.output.find("'99'\nusage: "), std::string::npos) << bad.output;
}

} // namespace
