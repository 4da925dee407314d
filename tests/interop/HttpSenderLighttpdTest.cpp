// The HTTP sender against lighttpd, an independent server with mod_auth: the
// Digest path learned and kept, and an announced length above the default
// limit. Refusals and statuses are the HUtils failure table's (against camsim).
#include "http/CHttpSender.h"

#include "common/Md5.h"
#include "http/HUtils.h"
#include "support/ChildProcess.h"
#include "support/Loopback.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace talvex::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLighttpd = "/usr/sbin/lighttpd";
constexpr const char* kRealm = "camera";
constexpr size_t kLargeFileBytes = 3 * 1024 * 1024;

bool Accepts(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

class HttpSenderLighttpdTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kLighttpd)) << "lighttpd is missing: run scripts/bootstrap";
        char pattern[] = "/tmp/fennwick-lighttpd-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        fs::create_directories(m_dir / "www/basic");
        fs::create_directories(m_dir / "www/digest");
        WriteFile(m_dir / "www/basic/file.txt", "hello basic\n");
        WriteFile(m_dir / "www/digest/file.txt", "hello digest\n");
        WriteFile(m_dir / "www/digest/large.bin", std::string(kLargeFileBytes, 'L'));
        WriteFile(m_dir / "htdigest",
                  std::string("admin:") + kRealm + ":" + Md5Hex(std::string("admin:") + kRealm + ":secret") + "\n");

        m_port = UnusedLoopbackPort();
        WriteFile(m_dir / "lighttpd.conf",
                  "server.document-root = \"" + (m_dir / "www").string() + "\"\n"
                  "server.bind = \"127.0.0.1\"\n"
                  "server.port = " + std::to_string(m_port) + "\n"
                  "server.errorlog = \"" + (m_dir / "error.log").string() + "\"\n"
                  "server.modules = (\"mod_auth\", \"mod_authn_file\")\n"
                  "auth.backend = \"htdigest\"\n"
                  "auth.backend.htdigest.userfile = \"" + (m_dir / "htdigest").string() + "\"\n"
                  "auth.require = ( \"/basic/\" => (\"method\" => \"basic\", \"realm\" => \"camera\", "
                  "\"require\" => \"valid-user\"),\n"
                  "  \"/digest/\" => (\"method\" => \"digest\", \"realm\" => \"camera\", "
                  "\"require\" => \"valid-user\") )\n");
        m_server = std::make_unique<ChildProcess>(
            std::vector<std::string>{kLighttpd, "-D", "-f", (m_dir / "lighttpd.conf").string()});
        ASSERT_TRUE(m_server->Started());
        ASSERT_TRUE(WaitUntil([&] { return Accepts(m_port); })) << "lighttpd did not start";
    }
    void TearDown() override {
        m_server.reset();
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    DEVICE_INFO Device(const std::string& password = "secret") const {
        DEVICE_INFO device("127.0.0.1", m_port, "admin", password);
        device.firstTimeoutMs = 3000;
        return device;
    }

    fs::path m_dir;
    uint16_t m_port = 0;
    std::unique_ptr<ChildProcess> m_server;
};

TEST_F(HttpSenderLighttpdTest, DigestPathIsLearnedAndKept) {
    Web::CHttpSender sender(Device());
    std::string text;
    ASSERT_TRUE(HUtils::RequestText(sender, "/digest/file.txt", text));
    EXPECT_EQ(text, "hello digest\n");
    text.clear();
    ASSERT_TRUE(HUtils::RequestText(sender, "/digest/file.txt", text));
    EXPECT_EQ(text, "hello digest\n");
}

TEST_F(HttpSenderLighttpdTest, AnnouncedLengthBeyondTheDefaultLimitIsReadWhole) {
    Web::CHttpSender sender(Device());
    Web::HttpRequest request;
    request.path = "/digest/large.bin";
    ASSERT_TRUE(sender.Send(request));
    ASSERT_EQ(sender.GetStatusCode(), 200u);
    EXPECT_EQ(sender.GetContentLength(), kLargeFileBytes);
    std::vector<uint8_t> body;
    EXPECT_EQ(sender.ReadAll(body), kLargeFileBytes);
}

} // namespace
} // namespace talvex::test
