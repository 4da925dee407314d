// fennwick-camsim's web side as the curl command-line client sees it: the CLI
// contract (READY line, signals) and Basic and Digest as curl speaks them.
#include "interop/ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace talvex::test {
namespace {

const std::string kCamsim = std::string(FENNWICK_BINARY_DIR) + "/camsim/fennwick-camsim";

// stdout of a shell command (bounded by curl's own time limit).
std::string RunShell(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return output;
    char chunk[4096];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output.append(chunk, count);
    ::pclose(pipe);
    return output;
}

class CamsimCurlTest : public ::testing::Test {
protected:
    void StartCamsim(const std::vector<std::string>& extra) {
        std::vector<std::string> arguments = {kCamsim,  "--model", "SNC-CH210", "--http-port", "0",
                                              "--user", "admin",   "--password", "secret"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        m_camsim = std::make_unique<ChildProcess>(arguments);
        ASSERT_TRUE(m_camsim->Started());
        const auto ready = m_camsim->ReadLine(std::chrono::seconds(10));
        ASSERT_TRUE(ready.has_value()) << "no READY line";
        ASSERT_TRUE(ready->starts_with("READY http=")) << *ready;
        m_ready = *ready;
        m_base = "http://127.0.0.1:" + PortAfter("http=");
    }
    void TearDown() override {
        if (m_camsim) {
            EXPECT_EQ(m_camsim->Stop(), 0); // SIGTERM ends it cleanly
        }
    }
    std::string PortAfter(const std::string& label) const {
        const size_t start = m_ready.find(" " + label);
        if (start == std::string::npos)
            return {};
        const std::string rest = m_ready.substr(start + label.size() + 1);
        return rest.substr(0, rest.find(' '));
    }
    std::string Curl(const std::string& options, const std::string& path) {
        return RunShell("curl -s --max-time 10 " + options + " '" + m_base + path + "'");
    }

    std::unique_ptr<ChildProcess> m_camsim;
    std::string m_ready;
    std::string m_base;
};

TEST_F(CamsimCurlTest, DigestWithCurl) {
    StartCamsim({"--auth", "digest"});
    const std::string answer = Curl("--digest -u admin:secret", "/command/inquiry.cgi?inq=system");
    EXPECT_TRUE(answer.starts_with("ModelName=SNC-CH210&SoftVersion=1.82&CGIVersion=2.10")) << answer;
    EXPECT_EQ(Curl("--digest -u admin:wrong -o /dev/null -w '%{http_code}'", "/command/inquiry.cgi?inq=system"),
              "401");
    EXPECT_EQ(Curl("--basic -u admin:secret -o /dev/null -w '%{http_code}'", "/command/inquiry.cgi?inq=system"),
              "401");
    const std::string challenge = Curl("-D - -o /dev/null", "/command/inquiry.cgi?inq=system");
    EXPECT_NE(challenge.find("WWW-Authenticate: Digest realm=\""), std::string::npos) << challenge;
    EXPECT_NE(challenge.find("qop=\"auth\""), std::string::npos) << challenge;
}

TEST_F(CamsimCurlTest, BasicWithCurl) {
    StartCamsim({"--auth", "basic"});
    EXPECT_EQ(Curl("--basic -u admin:secret", "/command/inquiry.cgi?inq=sensor"), "Sensor1=0");
    EXPECT_EQ(Curl("--basic -u admin:nope -o /dev/null -w '%{http_code}'", "/command/inquiry.cgi?inq=sensor"), "401");
}

TEST_F(CamsimCurlTest, CommandsChangeLaterInquiries) {
    StartCamsim({"--auth", "digest"});
    EXPECT_EQ(Curl("--digest -u admin:secret -o /dev/null -w '%{http_code}'",
                   "/command/camera.cgi?ImageSize2=320,240&FrameRate2=8"),
              "200");
    const std::string camera = Curl("--digest -u admin:secret", "/command/inquiry.cgi?inq=camera");
    EXPECT_NE(camera.find("&ImageSize2=320,240&"), std::string::npos) << camera;
    EXPECT_NE(camera.find("&FrameRate2=8&"), std::string::npos) << camera;
    // A size the model cannot produce is ignored.
    Curl("--digest -u admin:secret", "/command/camera.cgi?ImageSize2=4000,3000");
    EXPECT_NE(Curl("--digest -u admin:secret", "/command/inquiry.cgi?inq=camera").find("&ImageSize2=320,240&"),
              std::string::npos);
}

TEST_F(CamsimCurlTest, HttpsWithASelfSignedCertificate) {
    StartCamsim({"--auth", "digest", "--https-port", "0"});
    const std::string port = PortAfter("https=");
    ASSERT_FALSE(port.empty()) << m_ready;
    const std::string answer = RunShell("curl -s -k --max-time 10 --digest -u admin:secret "
                                   "'https://127.0.0.1:" + port + "/command/inquiry.cgi?inq=sensor'");
    EXPECT_EQ(answer, "Sensor1=0");
}

TEST_F(CamsimCurlTest, FaultsFromTheCommandLine) {
    StartCamsim({"--auth", "none", "--fault-status", "503"});
    EXPECT_EQ(Curl("-o /dev/null -w '%{http_code}'", "/command/inquiry.cgi?inq=system"), "503");
}

} // namespace
} // namespace talvex::test
