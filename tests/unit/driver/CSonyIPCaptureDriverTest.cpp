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

TEST(SonyDriverOpenedLine, LeavesOutAnEmptyFirmware) {
    FakeDeviceSettings settings;
    settings.parameters[3] = "(none)";
    EXPECT_EQ(OpenedLine(settings),
              "DRIVER IS OPENED (name: Fennwick, device model: SNC-VB630 (6th generation), address: 127.0.0.1:80)");
}

TEST(SonyDriverOpenedLine, NamesTheGenerationWithItsOrdinal) {
    const std::pair<const char*, const char*> cases[] = {
        {"1", " (1st generation)"}, {"2", " (2nd generation)"},   {"3", " (3rd generation)"},
        {"4", " (4th generation)"}, {"11", " (11th generation)"}, {"22", " (22th generation)"},
        {"3a", " (0th generation)"}, {"+3", " (0th generation)"},
    };
    for (const auto& [parameter, piece] : cases) {
        FakeDeviceSettings settings;
        settings.parameters[2] = parameter;
        EXPECT_EQ(OpenedLine(settings), std::string("DRIVER IS OPENED (name: Fennwick, device model: SNC-VB630") +
                                            piece + ", address: 127.0.0.1:80)")
            << "generation " << parameter;
    }
}

TEST(SonyDriverOpenedLine, UnreadableGenerationBecomesZero) {
    FakeDeviceSettings settings;
    settings.parameters[2] = "3a";
    RecordingDebugSink sink;
    CSonyIPCaptureDriver driver(kCurrentHost);
    ASSERT_TRUE(driver.Open(&sink, nullptr, &settings));
    EXPECT_EQ(driver.GetDeviceInfo()->generation, 0u);
}

TEST(SonyDriverOpenedLine, AnnouncesEdgeStorageOnlyForPropertyOne) {
    for (const char* value : {"1", "+1", "0", "2", "yes"}) {
        FakeDeviceSettings settings;
        for (uint32_t id = 3; id < 11; ++id)
            settings.parameters[id] = "";
        settings.parameters[11] = value;
        bool on = std::string(value) == "1" || std::string(value) == "+1";
        EXPECT_EQ(OpenedLine(settings),
                  std::string("DRIVER IS OPENED (name: Fennwick, device model: SNC-VB630 (6th generation), "
                              "address: 127.0.0.1:80") +
                      (on ? ", Edge Storage Function is On)" : ")"))
            << "property 11 = " << value;
    }
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
