// fennwick-host record --edge-storage against a camsim camera through
// libfennwick.so: the camera goes silent for longer than the driver's outage
// threshold while it keeps recording; afterwards the driver finds the missed
// interval with the camera's search, replays it and the host writes it to a
// file of its own. Waits out the driver's 10 s outage threshold and a replay
// at real-time pace: labelled slow.
#include "RtspServer.h"
#include "support/CamsimHost.h"
#include "support/HostDirectory.h"
#include "support/LoopbackHttp.h"
#include "support/MediaProbe.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace camsim {
namespace {

using namespace std::chrono_literals;
using namespace talvex::test;

// Longer than the driver's outage threshold (the device's second time-out, 10 s).
constexpr int kOutageSeconds = 13;
// Reconnecting and replaying the interval at real-time pace end well within this.
constexpr int kRecordSeconds = 36;
// A replay may begin at the first key frame after the outage began (the clips
// have one every second) and ends at the last frame before the live stream resumed.
constexpr int64_t kSeamMs = 1200;
constexpr int64_t kFrameIntervalMs = 1000 / Clip::FRAME_RATE;

using HostEdgeStorage = CamsimHost;

TEST_F(HostEdgeStorage, AnOutageIsFilledFromTheCamerasRecording) {
    RtspServer* rtsp = nullptr; // owned by the camera
    ASSERT_NO_FATAL_FAILURE(StartCamera("SNC-VB630", [&](Camera& camera) {
        auto server = std::make_unique<RtspServer>(RtspServerOptions{}, &camera);
        rtsp = server.get();
        camera.AddServer(std::move(server));
    }));
    const HostDirectory folder;
    const std::string out = folder.Path() + "out";
    auto host = StartHost("record --edge-storage --quiet --seconds " + std::to_string(kRecordSeconds) + " --out " +
                              out + " --events " + folder.Path() + "events --log " + folder.Path() + "host.log",
                          6);

    const auto playing = [&] {
        const auto log = rtsp->RequestLog();
        return std::any_of(log.begin(), log.end(), [](const std::string& line) { return line.starts_with("PLAY"); });
    };
    ASSERT_TRUE(WaitUntil(playing, 10s));
    std::this_thread::sleep_for(1s);
    const int64_t outageBegin = m_camera->State().Clock().NowUnixMs();
    const std::string outage = "/camsim/control?outage=" + std::to_string(kOutageSeconds);
    ASSERT_EQ(StatusOf(LoopbackGet(m_camera->Http().Port(), outage, 2s)), 200);
    const int64_t outageEnd = outageBegin + kOutageSeconds * 1000;

    const ToolResult result = host.get();
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::vector<std::filesystem::path> fills;
    for (const auto& entry : std::filesystem::directory_iterator(out))
        if (entry.path().filename().string().starts_with("rec-edge-"))
            fills.push_back(entry.path());
    ASSERT_EQ(fills.size(), 1u) << result.output;
    const std::string path = fills.front().string();
    ExpectCleanDecode(path);
    const int64_t firstMs = std::stoll(fills.front().stem().string().substr(9));
    const std::vector<double> pts = PacketTimes(path);
    ASSERT_FALSE(pts.empty());
    const int64_t lastMs = firstMs + int64_t(pts.back() * 1000 + 0.5);
    EXPECT_GE(firstMs, outageBegin - kSeamMs);
    EXPECT_LE(firstMs, outageBegin + kSeamMs);
    EXPECT_GE(lastMs, outageEnd);
    // Every frame the camera recorded in that span, once. The driver times a
    // replay from its Range start, which the first frame may follow by up to a
    // frame interval: the span is read that much later too.
    const std::vector<int64_t> recorded = rtsp->Recordings()->FrameTimes();
    const auto inSpan = std::count_if(recorded.begin(), recorded.end(), [&](int64_t time) {
        return time >= firstMs && time < lastMs + kFrameIntervalMs;
    });
    EXPECT_EQ(int64_t(pts.size()), inSpan);

    std::ifstream events(folder.Path() + "events");
    std::string filled;
    for (std::string line; std::getline(events, line);)
        if (line.find(" edge-filled ") != std::string::npos)
            filled = line.substr(line.find(' ') + 1);
    EXPECT_EQ(filled, "127.0.0.1 rec edge-filled " + std::to_string(firstMs) + " " + std::to_string(lastMs) + " " +
                          std::to_string(pts.size()));
}

} // namespace
} // namespace camsim
