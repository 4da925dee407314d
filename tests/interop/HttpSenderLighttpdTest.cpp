// The HTTP sender against lighttpd, an independent server with mod_auth: the
// Digest path learned and kept. Refusals, statuses and body lengths are the
// unit tests' (against camsim).
#include "http/CHttpSender.h"

#include "common/Md5.h"
#include "http/HUtils.h"
#include "platform/CSocket.h"
#include "support/ChildProcess.h"
#include "support/Loopback.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace talvex::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLighttpd = "/usr/sbin/lighttpd";

class HttpSenderLighttpdTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kLighttpd)) << "lighttpd is missing: run scripts/bootstrap";
        char pattern[] = "/tmp/fennwick-lighttpd-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        fs::create_directories(m_dir / "www/digest");
        std::ofstream(m_dir / "www/digest/file.txt") << "hello digest\n";
        std::ofstream(m_dir / "htdigest") << "admin:camera:" + Md5Hex("admin:camera:secret") + "\n";
        m_port = UnusedLoopbackPort();
        std::ofstream(m_dir / "lighttpd.conf")
            << "server.document-root = \"" + (m_dir / "www").string() + "\"\n"
            << "server.bind = \"127.0.0.1\"\nserver.port = " + std::to_string(m_port) + "\n"
            << "server.errorlog = \"" + (m_dir / "error.log").string() + "\"\n"
            << "server.modules = (\"mod_auth\", \"mod_authn_file\")\nauth.backend = \"htdigest\"\n"
            << "auth.backend.htdigest.userfile = \"" + (m_dir / "htdigest").string() + "\"\n"
            << "auth.require = ( \"/digest/\" => (\"method\" => \"digest\", \"realm\" => \"camera\", "
               "\"require\" => \"valid-user\") )\n";
        m_server = std::make_unique<ChildProcess>(
            std::vector<std::string>{kLighttpd, "-D", "-f", (m_dir / "lighttpd.conf").string()});
        ASSERT_TRUE(m_server->Started());
        ASSERT_TRUE(WaitUntil([&] {
            CSocket probe;
            return probe.CreateTcp() && probe.ConnectStepped(Loopback(m_port), 10, 100, CSocket::kNoStop);
        })) << "lighttpd did not start";
    }
    void TearDown() override {
        m_server.reset();
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    fs::path m_dir;
    uint16_t m_port = 0;
    std::unique_ptr<ChildProcess> m_server;
};

TEST_F(HttpSenderLighttpdTest, DigestPathIsLearnedAndKept) {
    DEVICE_INFO device("127.0.0.1", m_port, "admin", "secret");
    device.firstTimeoutMs = 3000;
    Web::CHttpSender sender(device);
    for (int request = 0; request < 2; ++request) {
        std::string text;
        ASSERT_TRUE(HUtils::RequestText(sender, "/digest/file.txt", text)) << "request " << request;
        EXPECT_EQ(text, "hello digest\n");
    }
}

} // namespace
} // namespace talvex::test
