// fennwick-host query against a camsim camera through libfennwick.so, as a
// person configures a camera: the profile query writes is what record reads,
// and the zones of record --privacy become the camera's masks, read back
// through /camsim/state. The query's failures as the command line reports them.
#include "HttpMedia.h"

#include "RtspServer.h"
#include "support/CamsimHost.h"
#include "support/HostDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <regex>
#include <string>

namespace camsim {
namespace {

using namespace talvex::test;

constexpr const char* kUser = "admin";
constexpr const char* kPassword = "secret";

struct Mask {
    std::string area;
    bool displayed = false;
};

// Mask n of camsim's state, "masks": {"n": {"area": "...", "displayed": ...}}.
Mask MaskOf(const std::string& state, int number) {
    const std::regex pattern("\"" + std::to_string(number) + R"re(": \{"area": "([0-9,]*)", "displayed": (true|false)\})re");
    std::smatch match;
    if (!std::regex_search(state, match, pattern))
        return {};
    return {match[1], match[2] == "true"};
}

class HostQueryCommandTest : public CamsimHost {
protected:
    void Start(const std::string& model) {
        CameraOptions options;
        options.model = model;
        options.user = kUser;
        options.password = kPassword;
        ASSERT_NO_FATAL_FAILURE(StartCamera(options, [&](Camera& camera) {
            camera.AddServer(std::make_unique<HttpMedia>(camera));
            RtspServerOptions rtsp;
            rtsp.generation = FindModel(model)->generation;
            camera.AddServer(std::make_unique<RtspServer>(rtsp, &camera));
        }));
    }
    ToolResult Host(const std::string& arguments) {
        return RunTool(std::string(FENNWICK_HOST_EXECUTABLE) + " " + arguments + " --library " +
                       FENNWICK_DRIVER_LIBRARY + " --host-version 6.3.0.0");
    }
    std::string Connection(uint16_t port, const std::string& password = kPassword) const {
        return " --address 127.0.0.1 --port " + std::to_string(port) + " --user " + kUser + " --password " + password;
    }
    // Read without credentials once the host is done with the camera.
    std::string State() {
        m_camera->State().SetAuthMode(AuthMode::None);
        return Hook("/camsim/state");
    }
};

TEST_F(HostQueryCommandTest, QueriedProfileRecordsAndPrivacyZonesBecomeTheCamerasMasks) {
    Start("SNC-VB630");
    const HostDirectory folder;
    const std::string profile = folder.Path() + "camera.profile";
    const ToolResult query = Host("query" + Connection(m_camera->Http().Port()) + " --out " + profile);
    ASSERT_EQ(query.exitCode, 0) << query.output;

    // The camera shows mask 1 and hides mask 2 until the host asks for two zones.
    const ToolResult record = Host("record --profile " + profile + " --out " + folder.Path() + "out --seconds 3" +
                                   " --size 1280x720 --privacy 10,10,30,30 --privacy 50,50,40,40 --quiet");
    EXPECT_EQ(record.exitCode, 0) << record.output;
    EXPECT_TRUE(std::filesystem::exists(folder.Path() + "out/rec.mkv")) << record.output;

    const std::string state = State();
    const Mask first = MaskOf(state, 1);
    const Mask second = MaskOf(state, 2);
    ASSERT_TRUE(first.displayed && second.displayed) << state;
    EXPECT_NE(first.area, "100,100,200,150") << state;
    EXPECT_NE(second.area, "400,300,80,60") << state;
    // std::stoul reads the left edge, up to the first comma.
    EXPECT_LT(std::stoul(first.area), std::stoul(second.area)) << "zones become masks in the host's order: " << state;
    for (int unused = 3; unused <= 8; ++unused)
        EXPECT_FALSE(MaskOf(state, unused).displayed) << unused << ": " << state;
}

struct QueryFailureCase {
    std::string name;
    bool cameraRuns;
    std::string password;
    std::string code;
};

void PrintTo(const QueryFailureCase& value, std::ostream* out) { *out << value.name; }

class HostQueryFailureTest : public HostQueryCommandTest, public ::testing::WithParamInterface<QueryFailureCase> {};

TEST_P(HostQueryFailureTest, FailsWithTheDriversCodeAndWritesNoProfile) {
    Start("SNC-CH210");
    const uint16_t port = m_camera->Http().Port();
    if (!GetParam().cameraRuns)
        m_camera->Stop(); // nothing listens on the port any more
    const HostDirectory folder;
    const ToolResult query = Host("query" + Connection(port, GetParam().password) + " --out " + folder.Path() + "p");
    EXPECT_EQ(query.exitCode, 1) << query.output;
    EXPECT_NE(query.output.find("code " + GetParam().code + ": "), std::string::npos) << query.output;
    EXPECT_EQ(query.output.find(GetParam().password), std::string::npos) << query.output;
    EXPECT_FALSE(std::filesystem::exists(folder.Path() + "p"));
}

INSTANTIATE_TEST_SUITE_P(Causes, HostQueryFailureTest,
                         ::testing::Values(QueryFailureCase{"WrongPassword", true, "wrong-password", "1"},
                                           QueryFailureCase{"NoCamera", false, kPassword, "2"}),
                         [](const auto& info) { return info.param.name; });

// A line break would let the password write other keys of the profile.
TEST_F(HostQueryCommandTest, OutRefusesALineBreakInTheConnection) {
    const HostDirectory folder;
    const ToolResult query = Host("query --address 127.0.0.1 --port 9 --user admin --password \"$(printf 'x\\n5=0')\" "
                                  "--out " + folder.Path() + "p");
    EXPECT_EQ(query.exitCode, 1) << query.output;
    EXPECT_NE(query.output.find("line break"), std::string::npos) << query.output;
    EXPECT_FALSE(std::filesystem::exists(folder.Path() + "p"));
}

// Without what the driver converts zones with, record refuses rather than
// recording an unmasked picture, and names query as the way to get it.
TEST_F(HostQueryCommandTest, RecordWithPrivacyRefusesAProfileWithoutMaskingProperties) {
    const HostDirectory folder;
    const std::string profile = folder.Path() + "camera.profile";
    for (const char* properties : {"1=0\n2=6\n", "1=0\n2=6\n3=1\n4=\n5=1\n"}) {
        std::ofstream(profile) << "address=127.0.0.1\nmodel=SNC-VB630\n" << properties;
        const ToolResult record = Host("record --profile " + profile + " --discard --privacy 10,10,30,30");
        EXPECT_EQ(record.exitCode, 1) << properties << record.output;
        EXPECT_NE(record.output.find("query"), std::string::npos) << record.output;
        EXPECT_EQ(record.output.find("DRIVER IS OPENED"), std::string::npos) << record.output;
    }
}

} // namespace
} // namespace camsim
