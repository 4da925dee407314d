// fennwick-camsim's web side as the curl command-line client sees it: the CLI
// contract (READY line, signals, fault flags) and Basic, Digest and HTTPS as curl speaks them.
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace talvex::test {
namespace {

class CamsimCurlTest : public ::testing::Test {
protected:
    void StartCamsim(const std::vector<std::string>& extra) {
        std::vector<std::string> arguments = {std::string(FENNWICK_BINARY_DIR) + "/camsim/fennwick-camsim",
                                              "--model", "SNC-CH210", "--http-port", "0", "--user", "admin",
                                              "--password", "secret"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        m_camsim = std::make_unique<ChildProcess>(arguments);
        ASSERT_TRUE(m_camsim->Started());
        const auto ready = m_camsim->ReadLine(std::chrono::seconds(10));
        ASSERT_TRUE(ready.has_value()) << "no READY line";
        ASSERT_TRUE(ready->starts_with("READY http=")) << *ready;
        m_ready = *ready;
    }
    void TearDown() override {
        if (m_camsim) {
            EXPECT_EQ(m_camsim->Stop(), 0); // SIGTERM ends it cleanly
        }
    }
    // The answer (or with `-o /dev/null -w '%{http_code}'` the status) of a request over `scheme`.
    std::string Curl(const std::string& options, const std::string& path, const std::string& scheme = "http") {
        const size_t start = m_ready.find(" " + scheme + "=") + scheme.size() + 2;
        const std::string port = m_ready.substr(start, m_ready.find(' ', start) - start);
        return RunTool("curl -s -k --max-time 10 " + options + " '" + scheme + "://127.0.0.1:" + port + path + "'")
            .output;
    }

    std::unique_ptr<ChildProcess> m_camsim;
    std::string m_ready;
};

constexpr const char* kStatusOnly = " -o /dev/null -w '%{http_code}'";

TEST_F(CamsimCurlTest, DigestAndHttpsWithASelfSignedCertificate) {
    StartCamsim({"--auth", "digest", "--https-port", "0"});
    const std::string answer = Curl("--digest -u admin:secret", "/command/inquiry.cgi?inq=system");
    EXPECT_TRUE(answer.starts_with("ModelName=SNC-CH210&SoftVersion=1.82&CGIVersion=2.10")) << answer;
    EXPECT_EQ(Curl(std::string("--digest -u admin:wrong") + kStatusOnly, "/command/inquiry.cgi?inq=system"), "401");
    EXPECT_EQ(Curl(std::string("--basic -u admin:secret") + kStatusOnly, "/command/inquiry.cgi?inq=system"), "401");
    const std::string challenge = Curl("-D - -o /dev/null", "/command/inquiry.cgi?inq=system");
    EXPECT_NE(challenge.find("qop=\"auth\""), std::string::npos) << challenge; // curl --digest needs no qop
    EXPECT_EQ(Curl("--digest -u admin:secret", "/command/inquiry.cgi?inq=sensor", "https"), "Sensor1=0");
}

TEST_F(CamsimCurlTest, BasicWithCurl) {
    StartCamsim({"--auth", "basic"});
    EXPECT_EQ(Curl("--basic -u admin:secret", "/command/inquiry.cgi?inq=sensor"), "Sensor1=0");
    EXPECT_EQ(Curl(std::string("--basic -u admin:nope") + kStatusOnly, "/command/inquiry.cgi?inq=sensor"), "401");
}

TEST_F(CamsimCurlTest, FaultsFromTheCommandLine) {
    StartCamsim({"--auth", "none", "--fault-status", "503"});
    EXPECT_EQ(Curl(kStatusOnly, "/command/inquiry.cgi?inq=system"), "503");
}

} // namespace
} // namespace talvex::test
