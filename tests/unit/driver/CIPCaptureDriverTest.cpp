#include "driver/CIPCaptureDriver.h"

#include "driver/CSonyIPCaptureDriver.h"
#include "unit/driver/DriverFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace talvex {
namespace {

using fennwick_test::FakeDeviceSettings;
using fennwick_test::SinkLine;
using test::kCurrentHost;
using DriverTest = test::DriverFixture;

TEST_F(DriverTest, OlderHostsGetLevelsTheyUnderstandAndLevel4IsNeverDelivered) {
    struct Case {
        HostVersion version;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        {{5, 7, 0, 0}, {1, 2, 2, 2}},   {{5, 11, 9, 9}, {1, 2, 2, 2}},  {{5, 12, 0, 0}, {1, 2, 3, 3}},
        {{6, 2, 0, 0}, {1, 2, 3, 3}},   {{6, 3, 0, 0}, {1, 2, 3, 100}}, {{7, 0, 0, 0}, {1, 2, 3, 100}},
        {{4, 99, 0, 0}, {1, 2, 2, 2}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Open(c.version));
        for (uint32_t level : {1u, 2u, 3u, 4u, 100u})
            driver->DebugMessage(level, "talvex::Test::Levels: level %u", level);
        std::vector<uint32_t> levels;
        for (const auto& line : sink.Lines())
            levels.push_back(line.level);
        EXPECT_EQ(levels, c.expected) << "host " << c.version.major << "." << c.version.minor;
    }
}

TEST_F(DriverTest, DebugMessageFormatsTextAndDropsEmptyMessages) {
    CSonyIPCaptureDriver(kCurrentHost).DebugMessage(1, "talvex::Test::Run: %s", "no sink: nobody listens");
    ASSERT_TRUE(Open());
    driver->DebugMessage(1, "talvex::Test::Run: device %s:%hu code %d", "10.0.0.1", uint16_t(8080), -7);
    driver->DebugMessage(1, "%s", "");
    EXPECT_EQ(sink.Lines(), (std::vector<SinkLine>{{1, "talvex::Test::Run: device 10.0.0.1:8080 code -7"}}));
}

// The text hides only the exact "(none)"; a number is a signed decimal or the missing marker.
TEST_F(DriverTest, ParameterTextAndNumber) {
    constexpr int32_t kMissing = IDriver::kParameterMissing;
    const struct {
        const char* stored;
        const char* text;
        int32_t number;
    } rows[] = {
        {"(none)", "", kMissing},  {"(none) ", "(none) ", kMissing}, {"(None)", "(None)", kMissing},
        {"", "", kMissing},        {"+5", "+5", 5},                  {"-5", "-5", -5},
        {"0", "0", 0},             {"2147483647", "2147483647", 2147483647},
        {"5a", "5a", kMissing},    {"-", "-", kMissing},            {"+", "+", kMissing},
        {" 5", " 5", kMissing},    {"5 ", "5 ", kMissing},          {"2147483648", "2147483648", kMissing},
    };
    uint32_t id = 3;
    for (const auto& row : rows)
        settings.parameters[id++] = row.stored;
    ASSERT_TRUE(Open());
    id = 3;
    for (const auto& row : rows) {
        EXPECT_EQ(driver->GetParameterText(id), row.text) << '"' << row.stored << '"';
        EXPECT_EQ(driver->GetParameterNumber(id++), row.number) << '"' << row.stored << '"';
    }
    EXPECT_EQ(driver->GetParameterText(99), "");
    EXPECT_EQ(driver->GetParameterNumber(99), int32_t(0x80000000u)); // absent
}

TEST_F(DriverTest, OpenCopiesPropertiesUpToTheFirstGapThen120To127) {
    settings.parameters = {{1, "0"}, {2, "6"}, {3, "1.0"}, {5, "after gap"}, {119, "x"}, {120, "a"}, {127, "b"},
                           {128, "c"}};
    ASSERT_TRUE(Open());
    const std::pair<uint32_t, const char*> copied[] = {{3, "1.0"}, {5, ""}, {119, ""}, {120, "a"}, {127, "b"}, {128, ""}};
    for (const auto& [id, text] : copied)
        EXPECT_EQ(driver->GetParameterText(id), text) << id;
    EXPECT_FALSE(settings.askedIds.contains(5));
}

TEST_F(DriverTest, OpenCopiesTheHostSettingsIntoTheDevice) {
    settings.address = "cam.example";
    settings.port = 8080;
    settings.parameters[1] = "1";
    ASSERT_TRUE(Open());
    const DEVICE_INFO* device = driver->GetDeviceInfo();
    EXPECT_EQ(device->address, "cam.example");
    EXPECT_EQ(device->port, 8080);
    EXPECT_EQ(device->user, "admin");
    EXPECT_EQ(device->password, "secret");
    EXPECT_EQ(device->model, "SNC-VB630");
    EXPECT_EQ(device->generation, 6u);
    EXPECT_EQ(driver->GetDeviceTag(), "cam.example:8080");
    EXPECT_EQ(driver->GetIOCounts(), (std::pair<uint32_t, uint32_t>(1, 2)));
    EXPECT_EQ(driver->GetVideoStandard(), 1u);
    EXPECT_EQ(driver->GetDefaultCodecType(), 3u);
    EXPECT_EQ(driver->GetVideoChannelCount(), 1u);
}

TEST_F(DriverTest, ReopenReplacesSuppliedValuesAndKeepsTheRest) {
    settings.parameters[3] = "1.0";
    settings.parameters[120] = "kept";
    ASSERT_TRUE(Open());
    driver->Close();
    EXPECT_EQ(driver->GetVideoCapture(), nullptr);
    settings.parameters[3] = "2.0";
    settings.parameters.erase(120);
    ASSERT_TRUE(driver->Open(&sink, nullptr, &settings));
    EXPECT_EQ(driver->GetParameterText(3), "2.0");
    EXPECT_EQ(driver->GetParameterText(120), "kept");
}

// Without the video standard, with a generation given as "(none)" or without settings: no open, no open line.
TEST_F(DriverTest, OpenFailsWithoutVideoStandardOrGeneration) {
    FakeDeviceSettings noStandard, noneMarker;
    noStandard.parameters.erase(1);
    noneMarker.parameters[2] = "(none)";
    for (FakeDeviceSettings* incomplete : {&noStandard, &noneMarker, static_cast<FakeDeviceSettings*>(nullptr)}) {
        CSonyIPCaptureDriver driver(kCurrentHost);
        EXPECT_FALSE(driver.Open(&sink, nullptr, incomplete));
        driver.Close();
    }
    EXPECT_TRUE(sink.LinesStartingWith("DRIVER IS OPENED").empty());
}

TEST_F(DriverTest, HostDirectoryIsTheExecutablesDirectoryWithItsSlash) {
    EXPECT_EQ(CSonyIPCaptureDriver(kCurrentHost).GetHostDirectory(),
              std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/");
}

// The base class writes the line without generation and edge storage pieces.
class PlainDriver : public CIPCaptureDriver {
public:
    using CIPCaptureDriver::CIPCaptureDriver;
    bool Initialize(ipcapture::IDeviceSettings*) override {
        LogDriverOpened(GetParameterText(3));
        return true;
    }
};

TEST_F(DriverTest, BaseOpenedLineHasNoGenerationOrEdgeStoragePiece) {
    settings.parameters = {{1, "0"}, {2, "6"}, {3, "2.1"}, {4, ""}, {5, ""}, {6, ""}, {7, ""}, {8, ""}, {9, ""},
                           {10, ""}, {11, "1"}};
    PlainDriver driver(kCurrentHost);
    ASSERT_TRUE(driver.Open(&sink, nullptr, &settings));
    EXPECT_EQ(sink.Lines(),
              (std::vector<SinkLine>{
                  {100, "DRIVER IS OPENED (name: Fennwick, device model: SNC-VB630, FW:2.1, address: 127.0.0.1:80)"}}));
}

} // namespace
} // namespace talvex
