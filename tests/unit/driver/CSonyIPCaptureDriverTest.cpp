#include "driver/CSonyIPCaptureDriver.h"

#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

using fennwick_test::FakeDeviceSettings;
using fennwick_test::RecordingDebugSink;
using fennwick_test::SinkLine;

constexpr HostVersion kCurrentHost{6, 3, 0, 0};

// The open line a driver of the given class writes for the settings.
template <typename Driver>
std::vector<SinkLine> OpenedLines(FakeDeviceSettings& settings, HostVersion version = kCurrentHost) {
    RecordingDebugSink sink;
    Driver driver(version);
    EXPECT_TRUE(driver.Open(&sink, nullptr, &settings));
    return sink.LinesStartingWith("DRIVER IS OPENED");
}

std::string OpenedLine(FakeDeviceSettings& settings) {
    auto lines = OpenedLines<CSonyIPCaptureDriver>(settings);
    return lines.size() == 1 ? lines.front().text : "<" + std::to_string(lines.size()) + " lines>";
}

TEST(SonyDriverOpenedLine, CarriesModelGenerationFirmwareAndAddressAtLevel100) {
    FakeDeviceSettings settings;
    settings.parameters[3] = "1.2.0";
    auto lines = OpenedLines<CSonyIPCaptureDriver>(settings);
    EXPECT_EQ(lines, (std::vector<SinkLine>{
                         {100, "DRIVER IS OPENED (name: Fennwick, device model: SNC-VB630 (6th generation), "
                               "FW:1.2.0, address: 127.0.0.1:80)"}}));
}

// The pieces that depend on the properties; the whole line is the case above.
TEST(SonyDriverOpenedLine, PiecesFollowTheProperties) {
    const struct {
        uint32_t property;
        const char* value;
        const char* piece; // nullptr: no line holds absent
        const char* absent;
    } cases[] = {
        {3, "(none)", nullptr, "FW:"},
        {2, "1", " (1st generation)", nullptr},
        {2, "2", " (2nd generation)", nullptr},
        {2, "3", " (3rd generation)", nullptr},
        {2, "4", " (4th generation)", nullptr},
        {2, "11", " (11th generation)", nullptr},
        {2, "22", " (22th generation)", nullptr},
        {2, "3a", " (0th generation)", nullptr},
        {2, "+3", " (0th generation)", nullptr},
        {11, "1", ", Edge Storage Function is On)", nullptr},
        {11, "+1", ", Edge Storage Function is On)", nullptr},
        {11, "0", nullptr, "Edge Storage"},
        {11, "2", nullptr, "Edge Storage"},
        {11, "yes", nullptr, "Edge Storage"},
    };
    for (const auto& test : cases) {
        FakeDeviceSettings settings;
        for (uint32_t id = 3; id < 11 && test.property == 11; ++id)
            settings.parameters[id] = "";
        settings.parameters[test.property] = test.value;
        const std::string line = OpenedLine(settings);
        const std::string row = "property " + std::to_string(test.property) + " = " + test.value + ": " + line;
        if (test.piece) {
            EXPECT_NE(line.find(test.piece), std::string::npos) << row;
        }
        if (test.absent) {
            EXPECT_EQ(line.find(test.absent), std::string::npos) << row;
        }
        EXPECT_TRUE(line.starts_with("DRIVER IS OPENED (name: Fennwick, device model: SNC-VB630")) << row;
    }
    FakeDeviceSettings unreadable;
    unreadable.parameters[2] = "3a";
    RecordingDebugSink sink;
    CSonyIPCaptureDriver driver(kCurrentHost);
    ASSERT_TRUE(driver.Open(&sink, nullptr, &unreadable));
    EXPECT_EQ(driver.GetDeviceInfo()->generation, 0u) << "an unreadable generation becomes 0";
}

TEST(SonyDriverOpenedLine, NotWrittenWithoutModelName) {
    FakeDeviceSettings settings;
    settings.model = "";
    EXPECT_TRUE(OpenedLines<CSonyIPCaptureDriver>(settings).empty());
}

TEST(SonyDriverOpenedLine, OlderHostsSeeItAsInformationOrWarning) {
    FakeDeviceSettings settings;
    EXPECT_EQ(OpenedLines<CSonyIPCaptureDriver>(settings, {6, 2, 0, 0}).at(0).level, 3u);
    EXPECT_EQ(OpenedLines<CSonyIPCaptureDriver>(settings, {5, 11, 0, 0}).at(0).level, 2u);
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

TEST(BaseDriverOpenedLine, HasNoGenerationOrEdgeStoragePiece) {
    FakeDeviceSettings settings;
    settings.parameters = {{1, "0"}, {2, "6"}, {3, "2.1"}, {4, ""}, {5, ""}, {6, ""}, {7, ""}, {8, ""}, {9, ""},
                           {10, ""}, {11, "1"}};
    EXPECT_EQ(OpenedLines<PlainDriver>(settings),
              (std::vector<SinkLine>{
                  {100, "DRIVER IS OPENED (name: Fennwick, device model: SNC-VB630, FW:2.1, address: 127.0.0.1:80)"}}));
}

} // namespace
} // namespace talvex
