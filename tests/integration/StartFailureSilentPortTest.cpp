// An RTSP port that takes the connection and never answers: the channel waits
// out the answer time of each DESCRIBE (5 s) and says so once.
#include "channels/CH264ChannelRTSP.h"

#include "platform/CSocket.h"
#include "support/RtspPortManager.h"
#include "support/FakeChannelHost.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace talvex {
namespace {

using namespace std::chrono_literals;
using test::CountLines;

TEST(StartFailureSilentPort, DescribeWithoutAnswerIsToldOnce) {
    // Listens and never reads: the connection is taken, DESCRIBE gets no answer.
    CSocket listener;
    ASSERT_TRUE(listener.CreateTcp() && listener.Bind(htonl(INADDR_LOOPBACK), 0) && listener.Listen(4));
    test::FakeDriver driver{"127.0.0.1", 80};
    driver.m_device.firstTimeoutMs = 1000;
    driver.m_device.secondTimeoutMs = 2000;
    driver.m_device.generation = 6;
    driver.m_hostDirectory =
        (std::filesystem::path(FENNWICK_BINARY_DIR) / "tests" / "integration" / "no-config/").string();
    test::FakeChannelSink sink;
    CH264ChannelRTSP channel(0, &driver, &sink,
                             TSmartPtr<IVideoSettingsManager>(new test::RtspPortManager(listener.GetLocalPort())));
    ChannelStartParameters parameters;
    parameters.kind = kLiveChannel;
    ASSERT_TRUE(channel.Start(parameters));
    const std::string cause = "Live stream of device 127.0.0.1:80 cannot start: DESCRIBE rtsp://127.0.0.1:" +
                              std::to_string(listener.GetLocalPort()) +
                              "/video2: no answer (connection closed, or nothing within 5000 ms)";
    // Two attempts of 5 s each, one second apart.
    ASSERT_TRUE(test::WaitUntil([&] { return CountLines(driver, cause) == 1; }, 10s));
    std::this_thread::sleep_for(7s);
    EXPECT_EQ(CountLines(driver, "cannot start"), 1u);
    channel.Stop();
}

} // namespace
} // namespace talvex
