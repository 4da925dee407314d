#include "capability/CSonyCapabilityQueryModule.h"

#include "unit/http/CamsimFixture.h"

#include "support/Loopback.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <vector>

namespace talvex::test {
namespace {

using ipcapture::ICapabilityQueryCallback;
using ipcapture::ICapabilityQueryResult;

// The host's side of one query: what was written and how the query ended.
class QueryHost : public ICapabilityQueryResult, public ICapabilityQueryCallback {
public:
    explicit QueryHost(bool acceptResults = true) : m_accept(acceptResults) {}

    bool SetDeviceIdentity(const char* manufacturer, const char*, const char*) override {
        return Locked([&] { m_manufacturer = manufacturer; });
    }
    bool SetDeviceProperty(uint32_t id, const char*, uint32_t, const char* value) override {
        return Locked([&] { m_properties[id] = value; });
    }
    bool SetCapabilityValue(uint32_t id, int32_t value) override { return Locked([&] { m_values[id] = value; }); }
    bool SetCapabilityText(const char* name, const char* text) override { return Locked([&] { m_texts[name] = text; }); }
    void OnQueryCompleted() override { Finish(std::nullopt, ""); }
    void OnQueryFailed(uint32_t code, const char* text) override { Finish(code, text); }
    void OnQueryThreadKilled() override { m_killed = true; }

    bool WaitForEnd(int ends = 1) {
        return WaitUntil([&] { return m_ends >= ends; }, std::chrono::seconds(20));
    }

    std::mutex m_mutex;
    bool m_accept;
    std::atomic<int> m_ends{0};
    std::optional<uint32_t> m_failureCode;
    std::string m_failureText;
    bool m_killed = false;
    std::string m_manufacturer;
    std::map<uint32_t, std::string> m_properties;
    std::map<uint32_t, int32_t> m_values;
    std::map<std::string, std::string> m_texts;

private:
    bool Locked(const std::function<void()>& write) {
        std::lock_guard lock(m_mutex);
        write();
        return m_accept;
    }
    void Finish(std::optional<uint32_t> code, const std::string& text) {
        Locked([&] {
            m_failureCode = code;
            m_failureText = text;
        });
        ++m_ends;
    }
};

class CapabilityQueryTest : public CamsimFixture {
protected:
    bool Start(CCapabilityQueryModule& module, QueryHost& host, const std::string& address, uint16_t port,
               const char* password = "secret") {
        return module.StartQuery(address.c_str(), port, "admin", password, &host);
    }
    // A generation 5 camera (many requests) that answers each one after delayMs.
    void StartSlowCamera(uint32_t delayMs) {
        StartCamera("SNC-CH210", camsim::AuthMode::Digest);
        m_faults.delayMs = delayMs;
        Http().SetFaults(m_faults);
    }

    camsim::HttpFaults m_faults;
};

TEST_F(CapabilityQueryTest, AQueryWritesPropertiesThenValuesAndEntries) {
    StartCamera("SNC-VB630", camsim::AuthMode::Digest);
    QueryHost host;
    CSonyCapabilityQueryModule module(&host, false);
    ASSERT_TRUE(Start(module, host, "127.0.0.1", Http().Port()));
    ASSERT_TRUE(host.WaitForEnd());
    ASSERT_FALSE(host.m_failureCode) << host.m_failureText;
    EXPECT_EQ(host.m_manufacturer, "Sony");
    // Properties 1 to 18, each once.
    ASSERT_EQ(host.m_properties.size(), 18u);
    EXPECT_EQ(host.m_properties.begin()->first, 1u);
    EXPECT_EQ(host.m_properties.rbegin()->first, 18u);
    EXPECT_EQ(host.m_properties[2], "6");
    // Three streams: two beyond the first, with codec, size and rate entries each.
    EXPECT_EQ(host.m_values[27], 2);
    EXPECT_EQ(host.m_values[13], 8);
    EXPECT_EQ(host.m_texts["Live Stream: Supported Codecs"], "h264,jpeg");
    EXPECT_EQ(host.m_texts["Remote Stream: Supported Framerates"],
              "values=1000,500,333,250,200,167,125,100,67,50,40,33;default=33");
    EXPECT_EQ(host.m_texts["Live Stream: Supported Resolutions"].rfind("320x240:33,", 0), 0u);
    EXPECT_EQ(host.m_texts["Audio Input Parameters"], "Count=1; IsStereo=0");
    EXPECT_EQ(host.m_texts["Audio Output Parameters"], "Count=1; IsStereo=0");
}

struct FailureRow {
    const char* name;
    uint32_t code;
    const char* textStart;
};

void PrintTo(const FailureRow& value, std::ostream* out) { *out << value.name; }

class CapabilityQueryFailure : public CapabilityQueryTest, public ::testing::WithParamInterface<FailureRow> {};

// Each row starts its query against a VB630, broken as its name says.
TEST_P(CapabilityQueryFailure, CodeAndText) {
    const std::string row = GetParam().name;
    StartCamera("SNC-VB630", camsim::AuthMode::Digest);
    QueryHost host(row != "ResultsRefused");
    CSonyCapabilityQueryModule module(&host, false);
    camsim::HttpFaults faults;
    faults.status = row == "ServerError" ? 500 : row == "NotFound" ? 404 : 0;
    Http().SetFaults(faults);
    const uint16_t port = row == "NoCamera" ? UnusedLoopbackPort() : Http().Port();
    ASSERT_TRUE(Start(module, host, row == "InvalidAddress" ? "127.0.0.1/evil" : "127.0.0.1", port,
                      row == "WrongPassword" ? "wrong" : "secret"));
    ASSERT_TRUE(host.WaitForEnd());
    ASSERT_TRUE(host.m_failureCode);
    EXPECT_EQ(*host.m_failureCode, GetParam().code);
    EXPECT_EQ(host.m_failureText.rfind(GetParam().textStart, 0), 0u) << host.m_failureText;
    if (GetParam().code == ipcapture::kCapabilityInvalidAddress) {
        EXPECT_TRUE(Http().Requests().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Devices, CapabilityQueryFailure,
    ::testing::Values(
        FailureRow{"InvalidAddress", ipcapture::kCapabilityInvalidAddress, "Failed to start capability fetching thread"},
        FailureRow{"WrongPassword", ipcapture::kCapabilityLoginFailed, "Failed to get camera properties, login failed (invalid credentials)"},
        FailureRow{"NoCamera", ipcapture::kCapabilityUnreachable, "Failed to get camera properties, device is offline"},
        FailureRow{"ServerError", ipcapture::kCapabilityOtherFailure, "Failed to get camera properties: "},
        FailureRow{"NotFound", ipcapture::kCapabilityOtherFailure, "Failed to get camera properties: no identification inquiry describes a supported Sony device"},
        FailureRow{"ResultsRefused", ipcapture::kCapabilityOtherFailure, "Failed to save capability query results"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CapabilityQueryTest, OneQueryAtATimeAndCancelEndsItAsAFailure) {
    StartSlowCamera(100);
    QueryHost host;
    QueryHost other;
    CSonyCapabilityQueryModule module(&host, false);
    ASSERT_TRUE(Start(module, host, "127.0.0.1", Http().Port()));
    EXPECT_FALSE(Start(module, other, "127.0.0.1", Http().Port()));
    ASSERT_TRUE(WaitUntil([&] { return !Http().Requests().empty(); }));
    module.CancelQuery();
    ASSERT_TRUE(host.WaitForEnd());
    ASSERT_TRUE(host.m_failureCode);
    EXPECT_EQ(*host.m_failureCode, uint32_t(ipcapture::kCapabilityOtherFailure));
    // Once it has reported, the module takes the next query.
    m_faults.delayMs = 0;
    Http().SetFaults(m_faults);
    ASSERT_TRUE(Start(module, other, "127.0.0.1", Http().Port()));
    // The module's callback hears of both queries; the second result object gets the findings.
    ASSERT_TRUE(host.WaitForEnd(2));
    EXPECT_FALSE(host.m_failureCode) << host.m_failureText;
    EXPECT_EQ(other.m_properties.size(), 18u);
}

TEST_F(CapabilityQueryTest, DestroyingTheModuleEndsItsQuery) {
    StartSlowCamera(300);
    QueryHost host;
    auto module = std::make_unique<CSonyCapabilityQueryModule>(&host, false);
    ASSERT_TRUE(Start(*module, host, "127.0.0.1", Http().Port()));
    ASSERT_TRUE(WaitUntil([&] { return !Http().Requests().empty(); }));
    const auto destroyedAt = std::chrono::steady_clock::now();
    module.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - destroyedAt, std::chrono::milliseconds(m_faults.delayMs));
    EXPECT_EQ(host.m_ends, 1);
    EXPECT_FALSE(host.m_killed);
}

} // namespace
} // namespace talvex::test
