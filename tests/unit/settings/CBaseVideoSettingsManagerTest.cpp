#include "settings/CBaseVideoSettingsManager.h"

#include "common/CEvent.h"
#include "support/FakeDriver.h"
#include "unit/settings/StreamWish.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace talvex {
namespace {

using namespace std::chrono_literals;

// A manager that records its passes ("changed"/"same") and resets ("keep"/"drop"); passes wait at a gate.
class TestManager final : public CBaseVideoSettingsManager {
public:
    explicit TestManager(IDriver* driver) : CBaseVideoSettingsManager(driver, 2) { StartWorker(); }
    ~TestManager() override {
        m_gate.Set();
        StopWorker();
    }

    std::vector<std::string> Events() {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    // The gate starts closed.
    void OpenGate() { m_gate.Set(); }
    bool PassStarted(size_t count) {
        return test::WaitUntil([&] { return m_started.load() >= count; });
    }

    using CBaseVideoSettingsManager::ClearLastMessage;
    using CBaseVideoSettingsManager::GetStoredSettings;
    using CBaseVideoSettingsManager::LogOnce;
    using CBaseVideoSettingsManager::StopWorker;

    std::atomic<bool> m_result{true};

protected:
    bool Synchronize(bool settingsChanged) override {
        ++m_started;
        CEvent* events[2] = {&m_gate, &GetStopEvent()};
        CEvent::WaitAny(events, 2, 10000);
        Record(settingsChanged ? "changed" : "same");
        return m_result.load();
    }
    void OnReset(bool keepWishes) override { Record(keepWishes ? "keep" : "drop"); }

private:
    void Record(const char* event) {
        std::lock_guard lock(m_mutex);
        m_events.push_back(event);
    }

    std::mutex m_mutex;
    std::vector<std::string> m_events;
    std::atomic<size_t> m_started{0};
    CManualEvent m_gate;
};

using Events = std::vector<std::string>;

VIDEO_STREAM_SETTINGS Wish(int32_t stream, uint16_t width = 1280, uint16_t height = 720) {
    return test::StreamWish(stream, width, height, 25, 60);
}

class BaseVideoSettingsManagerTest : public ::testing::Test {
protected:
    // A wish for `codec`, answered by the manager's pass; the wish must outlive the call.
    bool Send(uint32_t codec, const VIDEO_STREAM_SETTINGS& wish) {
        return m_manager.SetStreamSettings(&m_callerStop, codec, &wish);
    }
    std::future<bool> SendLater(uint32_t codec, const VIDEO_STREAM_SETTINGS& wish) {
        return std::async(std::launch::async, [this, codec, &wish] { return Send(codec, wish); });
    }

    test::FakeDriver m_driver;
    CManualEvent m_callerStop;
    const VIDEO_STREAM_SETTINGS m_wish = Wish(0);
    TestManager m_manager{&m_driver}; // last: its worker uses the members above
};

// A wish counts as a change until a pass succeeds with it; another codec is a change.
TEST_F(BaseVideoSettingsManagerTest, WishIsAChangeUntilAPassSucceeds) {
    m_manager.OpenGate();
    m_manager.m_result = false;
    EXPECT_FALSE(Send(3, m_wish));
    EXPECT_FALSE(Send(3, m_wish));
    m_manager.m_result = true;
    EXPECT_TRUE(Send(3, m_wish));
    EXPECT_TRUE(Send(3, m_wish));
    EXPECT_TRUE(Send(2, m_wish));
    EXPECT_EQ(m_manager.Events(), (Events{"changed", "changed", "changed", "same", "changed"}));
}

TEST_F(BaseVideoSettingsManagerTest, TwoWishesBeforeTheWorkerWakesShareOnePassAndItsResult) {
    auto opener = SendLater(3, m_wish);
    ASSERT_TRUE(m_manager.PassStarted(1));

    const VIDEO_STREAM_SETTINGS live = Wish(1, 640, 480);
    const VIDEO_STREAM_SETTINGS remote = Wish(2, 320, 240);
    auto liveCaller = SendLater(3, live);
    auto remoteCaller = SendLater(1, remote);
    ASSERT_TRUE(test::WaitUntil([&] {
        return m_manager.GetStoredSettings(1).codecType == 3 && m_manager.GetStoredSettings(2).codecType == 1;
    }));
    // Both callers queue right after storing; give them ample time to do so.
    std::this_thread::sleep_for(200ms);
    m_manager.m_result = false;
    m_manager.OpenGate();

    EXPECT_FALSE(opener.get());
    EXPECT_FALSE(liveCaller.get());
    EXPECT_FALSE(remoteCaller.get());
    EXPECT_EQ(m_manager.Events(), (Events{"changed", "changed"}));
}

TEST_F(BaseVideoSettingsManagerTest, ResetTrueKeepsTheWishesResetFalseDropsThem) {
    m_manager.OpenGate();
    const VIDEO_STREAM_SETTINGS wish = Wish(1);
    ASSERT_TRUE(Send(3, wish));

    m_manager.Reset(true);
    EXPECT_EQ(m_manager.GetStoredSettings(1).settings, wish);
    EXPECT_EQ(m_manager.GetStoredSettings(1).codecType, 3u);

    m_manager.Reset(false);
    EXPECT_EQ(m_manager.GetStoredSettings(1).settings, VIDEO_STREAM_SETTINGS{});
    EXPECT_EQ(m_manager.GetStoredSettings(1).codecType, 0u);
    EXPECT_EQ(m_manager.Events(), (Events{"changed", "keep", "drop"}));
}

TEST_F(BaseVideoSettingsManagerTest, StoppedManagerAnswersFalseAtOnceAndStillStoresTheWish) {
    m_manager.StopWorker();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Send(3, m_wish));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(m_manager.GetStoredSettings(0).settings, m_wish);
    EXPECT_TRUE(m_manager.Events().empty());
}

TEST_F(BaseVideoSettingsManagerTest, CallerStopEndsTheWaitWithFalse) {
    auto caller = SendLater(3, m_wish);
    ASSERT_TRUE(m_manager.PassStarted(1));
    m_callerStop.Set();
    ASSERT_EQ(caller.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(caller.get());
}

TEST_F(BaseVideoSettingsManagerTest, DestructionAnswersQueuedCallersWithFalse) {
    auto manager = std::make_unique<TestManager>(&m_driver);
    std::atomic<bool> answered{false};
    bool result = true;
    std::thread caller([&] {
        result = manager->SetStreamSettings(nullptr, 3, &m_wish);
        answered = true;
    });
    ASSERT_TRUE(manager->PassStarted(1));
    // The caller waits on the worker's stop event, so it is answered before
    // the manager is gone; joining first keeps the manager alive meanwhile.
    manager->StopWorker();
    caller.join();
    EXPECT_TRUE(answered.load());
    EXPECT_FALSE(result);
}

TEST_F(BaseVideoSettingsManagerTest, LogOnceDropsRepeatsUntilCleared) {
    m_manager.OpenGate();
    for (const char* cause : {"camera refused", "camera refused", "other", "other"})
        m_manager.LogOnce(1, "talvex::Test: %s", cause);
    m_manager.ClearLastMessage();
    m_manager.LogOnce(1, "talvex::Test: %s", "other");
    m_manager.LogOnce(1, "%s", "");
    // A successful pass clears the last text as well.
    ASSERT_TRUE(Send(3, m_wish));
    m_manager.LogOnce(1, "talvex::Test: %s", "other");

    std::vector<std::string> texts;
    for (const auto& line : m_driver.Lines())
        texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"talvex::Test: camera refused", "talvex::Test: other",
                                               "talvex::Test: other", "talvex::Test: other"}));
}

} // namespace
} // namespace talvex
