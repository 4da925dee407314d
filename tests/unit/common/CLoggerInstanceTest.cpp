#include "common/CLoggerInstance.h"

#include "support/FakeDriver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvex {
namespace {

// Messages 1..65536+4096, each with its own text: the numbers that reach the driver follow the schedule.
TEST(CLoggerInstance, ThinsOutAFloodBySchedule) {
    test::FakeDriver driver;
    CLoggerInstance logger(&driver);
    for (uint32_t i = 1; i <= 65536 + 4096; ++i)
        logger.Log(2, "message %u", i);
    std::vector<uint32_t> sent;
    for (const auto& line : driver.Lines())
        sent.push_back(uint32_t(std::stoul(line.text.substr(8))));
    // Every message up to the 14th, then every 16th up to 240, every 256th up to 3840, every 4096th up to 61440.
    std::vector<uint32_t> expected;
    for (uint32_t step = 1; step <= 4096; step *= 16)
        for (uint32_t i = step; i <= 15 * step && i != 15; i += step)
            expected.push_back(i);
    // The 65535th message sets the counter back to 4095, so the next one is the 4096th again.
    expected.push_back(65536);
    expected.push_back(65536 + 4096);
    EXPECT_EQ(sent, expected);
}

// A repeat of the last sent text is dropped until ResetLastMessage; an empty text is never sent.
TEST(CLoggerInstance, RepeatsOfTheLastSentTextAndEmptyTextsAreDropped) {
    CLoggerInstance(nullptr).Log(1, "nowhere"); // without owner nothing is sent
    test::FakeDriver driver;
    CLoggerInstance logger(&driver);
    for (const char* address : {"10.0.0.1", "10.0.0.1", "10.0.0.2", "10.0.0.1"})
        logger.Log(1, "camera %s unreachable", address);
    logger.Log(1, "%s", "");
    logger.Log(1, "%s", "100% loss");
    logger.Log(1, "lost");
    logger.ResetLastMessage();
    logger.Log(1, "lost");
    std::vector<std::string> texts;
    for (const auto& line : driver.Lines())
        texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"camera 10.0.0.1 unreachable", "camera 10.0.0.2 unreachable",
                                               "camera 10.0.0.1 unreachable", "100% loss", "lost", "lost"}));
    EXPECT_EQ(driver.Lines()[0].level, 1u);
}

// A repeat of the last sent text is dropped without counting; a text thinned
// out by the schedule is not remembered, so its repeat counts again.
TEST(CLoggerInstance, OnlySentTextsSuppressRepeats) {
    test::FakeDriver driver;
    CLoggerInstance logger(&driver);
    for (int i = 1; i <= 14; ++i) {
        logger.Log(3, "text %d", i);
        logger.Log(3, "text %d", i);
    }
    EXPECT_EQ(driver.Lines().size(), 14u);
    logger.Log(3, "text 15"); // 15th: thinned out
    EXPECT_EQ(driver.Lines().size(), 14u);
    logger.Log(3, "text 15"); // 16th: sent
    ASSERT_EQ(driver.Lines().size(), 15u);
    EXPECT_EQ(driver.Lines().back().text, "text 15");
}

} // namespace
} // namespace talvex
