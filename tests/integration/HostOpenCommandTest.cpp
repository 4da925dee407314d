// fennwick-host open, run as a person would run it.
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using talvex::test::RunTool;
using CommandResult = talvex::test::ToolResult;

CommandResult RunHost(const std::string& arguments) {
    return RunTool(std::string(FENNWICK_HOST_EXECUTABLE) + " " + arguments);
}

size_t LineCount(const std::string& text) {
    return size_t(std::count(text.begin(), text.end(), '\n'));
}

class HostOpenCommand : public ::testing::Test {
protected:
    void SetUp() override {
        m_directory = std::filesystem::path(FENNWICK_BINARY_DIR) / "tests" / "integration" /
                      ("host-open-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(m_directory);
        std::filesystem::create_directories(m_directory);
    }
    void TearDown() override { std::filesystem::remove_all(m_directory); }

    std::string WriteProfile(const std::string& text) {
        std::string path = (m_directory / "device.profile").string();
        std::ofstream(path) << text;
        return path;
    }

    std::filesystem::path m_directory;
};

TEST_F(HostOpenCommand, OpensTheSampleDeviceAndLogsTheOpenLine) {
    auto result = RunHost(std::string("open --profile ") + FENNWICK_SAMPLE_PROFILE + " --host-version 6.3.0.0");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("[100] DRIVER IS OPENED (name: Fennwick, device model: SNC-VB630 (6th generation)"),
              std::string::npos)
        << result.output;
}

TEST_F(HostOpenCommand, CommandLineOverridesTheProfileAndTheLogFileGetsTheLines) {
    std::string log = (m_directory / "host.log").string();
    auto result = RunHost(std::string("open --profile ") + FENNWICK_SAMPLE_PROFILE +
                          " --address 192.0.2.7 --port 8080 --model SNC-EM600 --log " + log);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::ifstream file(log);
    std::string line;
    ASSERT_TRUE(std::getline(file, line));
    // Without --host-version the driver assumes 5.12: the open notice comes as information.
    EXPECT_NE(line.find("[3] DRIVER IS OPENED (name: Fennwick, device model: SNC-EM600 (6th generation), FW:1.10, "
                        "address: 192.0.2.7:8080)"),
              std::string::npos)
        << line;
}

TEST_F(HostOpenCommand, ReadsProfilesWithWindowsLineEndingsCommentsAndSpaces) {
    auto result = RunHost("open --host-version 6.3.0.0 --profile " +
                          WriteProfile("# written elsewhere\r\n\r\n  address = 10.0.0.9 \r\nmodel=SNC-CH110\r\n"
                                       "1=0\r\n2=4\r\n3=(none)\r\n   # indented comment\r\n"));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("[100] DRIVER IS OPENED (name: Fennwick, device model: SNC-CH110 (4th generation), "
                                 "address: 10.0.0.9:80)"),
              std::string::npos)
        << result.output;
}

TEST_F(HostOpenCommand, MissingProfileFailsWithOneLine) {
    auto result = RunHost("open --profile " + (m_directory / "absent.profile").string());
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(LineCount(result.output), 1u) << result.output;
    EXPECT_NE(result.output.find("cannot read profile"), std::string::npos) << result.output;
}

TEST_F(HostOpenCommand, BadProfileLineIsNamed) {
    auto result = RunHost("open --profile " + WriteProfile("address=10.0.0.1\n# fine\nport=http\n"));
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.output.find("line 3: port wants a number"), std::string::npos) << result.output;
}

TEST_F(HostOpenCommand, RefusedOpenFailsWithOneLine) {
    // No generation (property 2): the driver refuses to open.
    auto result = RunHost("open --profile " + WriteProfile("address=10.0.0.1\nmodel=SNC-VB630\n1=0\n"));
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(LineCount(result.output), 1u) << result.output;
    EXPECT_NE(result.output.find("could not open"), std::string::npos) << result.output;
}

TEST_F(HostOpenCommand, MissingLibraryFailsWithOneLine) {
    auto result = RunHost(std::string("open --profile ") + FENNWICK_SAMPLE_PROFILE + " --library " +
                          (m_directory / "libnothing.so").string());
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(LineCount(result.output), 1u) << result.output;
    EXPECT_NE(result.output.find("cannot load the driver library"), std::string::npos) << result.output;
}

TEST_F(HostOpenCommand, ExplicitLibraryPathIsUsed) {
    auto result =
        RunHost(std::string("open --profile ") + FENNWICK_SAMPLE_PROFILE + " --library " + FENNWICK_DRIVER_LIBRARY);
    EXPECT_EQ(result.exitCode, 0) << result.output;
}

TEST_F(HostOpenCommand, MalformedHostVersionIsRefused) {
    auto result = RunHost(std::string("open --profile ") + FENNWICK_SAMPLE_PROFILE + " --host-version 6.3");
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.output.find("--host-version"), std::string::npos) << result.output;
}

TEST_F(HostOpenCommand, UsageErrorsExitWith2) {
    EXPECT_EQ(RunHost("").exitCode, 2);
    EXPECT_EQ(RunHost("record --profile x").exitCode, 2);
    EXPECT_EQ(RunHost("open").exitCode, 2);
    EXPECT_EQ(RunHost("open --profile").exitCode, 2);
    EXPECT_EQ(RunHost("open --profile x --speed 3").exitCode, 2);
}

} // namespace
