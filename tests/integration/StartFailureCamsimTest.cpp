// Why a stream cannot start, against camsim's faults: every cause gives one
// error line naming the device, the stream and what failed, once over several
// attempts; a start after the fault is gone says it recovered.
#include "channels/CH264ChannelRTSP.h"

#include "Camera.h"
#include "RtspServer.h"
#include "channels/CH264ChannelRTP.h"
#include "settings/CSonyVideoSettingsManager.h"
#include "support/ChannelRig.h"
#include "support/Loopback.h"
#include "support/RtspPortManager.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace talvex {
namespace {

using namespace std::chrono_literals;
using namespace test;

// Attempts come once a second; this many pass while the same cause must stay quiet.
constexpr auto kRepeatedAttempts = 3s;
constexpr auto kLimit = 15s;
constexpr const char* kFailureWords = "Recording stream of device 127.0.0.1:";

enum class Channel { RtspGeneration6, RtspDeadPort, HttpStartedRtp };

struct FailureCase {
    const char* name;
    Channel channel;
    std::function<void(camsim::CameraOptions&)> cameraFault;
    std::function<void(camsim::RtspFaults&)> rtspFault;
    std::vector<std::string> words; // essential words of the cause
    bool credentialsInContentBase = false;
};

class StartFailureBase : public ::testing::Test {
protected:
    void TearDown() override {
        // A stop during the attempts is prompt.
        const auto stopStart = std::chrono::steady_clock::now();
        if (m_channel)
            m_channel->Stop();
        EXPECT_LT(test::MsSince(stopStart), 2000);
        if (m_camera)
            m_camera->Stop();
    }

    // The camera with the fault, and the channel that meets it.
    void Start(const FailureCase& failure) {
        camsim::CameraOptions options;
        options.model = failure.channel == Channel::HttpStartedRtp ? "SNC-RH124" : "SNC-VB630";
        if (failure.cameraFault)
            failure.cameraFault(options);
        m_camera = std::make_unique<camsim::Camera>(options);
        if (failure.channel == Channel::RtspGeneration6) {
            camsim::RtspServerOptions rtspOptions;
            rtspOptions.audio = false;
            rtspOptions.quirks.credentialsInContentBase = failure.credentialsInContentBase;
            auto rtsp = std::make_unique<camsim::RtspServer>(rtspOptions, m_camera.get());
            m_rtsp = rtsp.get();
            m_camera->AddServer(std::move(rtsp));
        }
        // No media server: the HTTP-started stream's request is not found.
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;
        if (failure.rtspFault)
            failure.rtspFault(m_rtsp->Faults());
        driver.m_device.port = m_camera->Http().Port();
        driver.m_device.model = options.model;
        test::UseShortTimeouts(driver, allocator, m_camera->State().Generation());
        driver.m_hostDirectory = m_host.Path(); // no configuration file
        const Channel channel = failure.channel;
        if (channel == Channel::HttpStartedRtp)
            m_channel = std::make_unique<CH264ChannelRTP>(0, &driver, &sink);
        else if (channel == Channel::RtspDeadPort)
            m_channel = std::make_unique<CH264ChannelRTSP>(0, &driver, &sink,
                                                           TSmartPtr<IVideoSettingsManager>(new test::RtspPortManager(test::UnusedLoopbackPort())));
        else
            m_channel = std::make_unique<CH264ChannelRTSP>(
                0, &driver, &sink, TSmartPtr<IVideoSettingsManager>(new CSonyVideoSettingsManager(&driver, 0)));
        ChannelStartParameters parameters;
        parameters.firstValue = 100; // ms between frames
        parameters.secondValue = 50; // quality
        parameters.width = 640;
        parameters.height = 480;
        parameters.kind = kRecordingChannel;
        ASSERT_TRUE(m_channel->Start(parameters));
    }

    std::string Log() const {
        std::string log;
        for (const test::LogLine& line : driver.Lines())
            log += std::to_string(line.level) + " " + line.text + "\n";
        return log;
    }

    const test::HostDirectory m_host;
    std::unique_ptr<camsim::Camera> m_camera;
    camsim::RtspServer* m_rtsp = nullptr;
    FakeDriver driver{"127.0.0.1", 80, "admin", "admin"};
    LockedFrameAllocator allocator;
    FakeChannelSink sink;
    std::unique_ptr<ICameraChannel> m_channel;
};

void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.name; }

class StartFailure : public StartFailureBase, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StartFailure, NamesItsCauseOnceOverSeveralAttempts) {
    const FailureCase& failure = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start(failure));
    const auto causeLines = [&] {
        size_t count = 0;
        for (const test::LogLine& line : driver.Lines()) {
            bool matches = line.level == 1 && line.text.find(kFailureWords) != std::string::npos &&
                           line.text.find("cannot start") != std::string::npos;
            for (const std::string& word : failure.words)
                matches = matches && line.text.find(word) != std::string::npos;
            count += matches;
        }
        return count;
    };
    ASSERT_TRUE(WaitUntil([&] { return causeLines() == 1; }, kLimit)) << Log();
    std::this_thread::sleep_for(kRepeatedAttempts);
    EXPECT_EQ(causeLines(), 1u) << Log();
    EXPECT_EQ(CountLines(driver, "cannot start"), 1u) << Log();
    EXPECT_EQ(sink.FrameCount(), 0u);
    for (const test::LogLine& line : driver.Lines())
        EXPECT_EQ(line.text.find("admin:admin"), std::string::npos) << line.text;
}

const FailureCase kCauses[] = {
    {"Describe503", Channel::RtspGeneration6, {}, [](auto& f) { f.describeStatus = 503; },
     {"DESCRIBE rtsp://127.0.0.1:", "/video1 answered RTSP 503"}},
    {"Unauthorised", Channel::RtspGeneration6, {}, [](auto& f) { f.answer401 = true; },
     {"DESCRIBE rtsp://", "answered RTSP 401"}},
    {"Play500", Channel::RtspGeneration6, {}, [](auto& f) { f.playStatus = 500; },
     {"PLAY rtsp://", "answered RTSP 500"}},
    // The URL of the line comes from a Content-Base that names the credentials: they are left out.
    {"Setup461WithCredentialsInContentBase", Channel::RtspGeneration6, {}, [](auto& f) { f.setupStatus = 461; },
     {"SETUP rtsp://127.0.0.1:", "answered RTSP 461"}, true},
    {"RefusedPort", Channel::RtspDeadPort, {}, {}, {"RTSP connection to 127.0.0.1:", "Connection refused"}},
    {"NoFrames", Channel::RtspGeneration6, {}, [](auto& f) { f.stopSending = true; },
     {"no frame within 1000 ms after the stream started"}},
    {"OtherCodec", Channel::RtspGeneration6, {}, [](auto& f) { f.otherCodec = true; },
     {"description offers MP4V-ES, the channel asked for H264"}},
    {"InquiryStatus", Channel::RtspGeneration6, [](auto& o) { o.faults.status = 503; }, {},
     {"stream settings were not applied", "GET /command/inquiry.cgi?inq=camera answered HTTP 503"}},
    {"CapabilityWithoutValue", Channel::RtspGeneration6, [](auto& o) { o.capabilityValues["FrameRate1"] = ""; }, {},
     {"stream settings were not applied", "no usable CapableFrameRate1 value"}},
    {"TooFewQualityValues", Channel::RtspGeneration6, [](auto& o) { o.capabilityValues["H264Quality1"] = "5"; },
     {}, {"H264Quality1 gives no usable range (1 value;"}},
    {"HttpStartedRtp404", Channel::HttpStartedRtp, {}, {},
     {"unable to start the RTP stream: GET /h264?UdpMode=unicast&UdpPort=", "answered HTTP 404"}},
    {"ConfigurationStatus", Channel::HttpStartedRtp, [](auto& o) { o.faults.status = 500; }, {},
     {"unable to receive the current video configuration", "answered HTTP 500"}},
};

INSTANTIATE_TEST_SUITE_P(Causes, StartFailure, ::testing::ValuesIn(kCauses),
                         [](const auto& info) { return std::string(info.param.name); });

// The fault goes away: the stream starts and one line counts the failed attempts.
TEST_F(StartFailureBase, SaysItRecovered) {
    const FailureCase& failure = kCauses[0];
    ASSERT_NO_FATAL_FAILURE(Start(failure));
    ASSERT_TRUE(WaitUntil([&] { return CountLines(driver, "cannot start") == 1; }, kLimit)) << Log();
    std::this_thread::sleep_for(2s);
    m_rtsp->Faults().describeStatus = 0;
    ASSERT_TRUE(WaitUntil([&] { return CountLines(driver, "started, recovered after ") == 1; }, kLimit)) << Log();
    EXPECT_EQ(CountLines(driver, "cannot start"), 1u);
}

} // namespace
} // namespace talvex
