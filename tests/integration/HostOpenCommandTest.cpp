// fennwick-host open, run as a person would run it.
#include "support/ChildProcess.h"
#include "support/HostDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <ostream>
#include <string>

namespace {

using talvex::test::RunTool;
using CommandResult = talvex::test::ToolResult;

CommandResult RunHost(const std::string& arguments) {
    return RunTool(std::string(FENNWICK_HOST_EXECUTABLE) + " " + arguments);
}

const std::string kSample = std::string(" --profile ") + FENNWICK_SAMPLE_PROFILE;

// The open line at the level of the host version given, the profile's device
// overridden by the command line, and the lines in the log file.
TEST(HostOpenCommand, OpenLineComesAtTheHostsLevelAndTheCommandLineOverridesTheProfile) {
    auto result = RunHost("open" + kSample + " --host-version 6.3.0.0");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("[100] DRIVER IS OPENED (name: Fennwick, device model: SNC-VB630 (6th generation)"),
              std::string::npos)
        << result.output;
    const talvex::test::HostDirectory folder;
    const std::string log = folder.Path() + "host.log";
    result = RunHost("open" + kSample + " --address 192.0.2.7 --port 8080 --model SNC-EM600 --log " + log);
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

// Runs that cannot open: exit code 1 and the one line that names why.
struct OpenFailure {
    const char* name;
    std::string arguments; // after "open", in a folder of its own (FOLDER/)
    const char* names;
};

void PrintTo(const OpenFailure& failure, std::ostream* out) { *out << failure.name; }

class HostOpenFailure : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(HostOpenFailure, ExitsWithOneLineNamingTheCause) {
    const talvex::test::HostDirectory folder;
    std::string arguments = GetParam().arguments;
    if (const size_t at = arguments.find("FOLDER/"); at != std::string::npos)
        arguments.replace(at, 7, folder.Path());
    // No generation (property 2): the driver refuses to open.
    std::ofstream(folder.Path() + "bare.profile") << "address=10.0.0.1\nmodel=SNC-VB630\n1=0\n";
    auto result = RunHost("open" + arguments);
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;
    EXPECT_NE(result.output.find(GetParam().names), std::string::npos) << result.output;
}

INSTANTIATE_TEST_SUITE_P(
    Causes, HostOpenFailure,
    ::testing::Values(OpenFailure{"MissingProfile", " --profile FOLDER/absent.profile", "cannot read profile"},
                      OpenFailure{"RefusedOpen", " --profile FOLDER/bare.profile", "could not open"},
                      OpenFailure{"MissingLibrary", kSample + " --library FOLDER/libnothing.so",
                                  "cannot load the driver library"},
                      OpenFailure{"MalformedHostVersion", kSample + " --host-version 6.3", "--host-version"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
