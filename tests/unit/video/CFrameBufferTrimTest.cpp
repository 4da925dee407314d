#include "video/CFrameBufferTrim.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

void Finish(CFrameBufferTrim& trim, std::vector<uint8_t>& frame, size_t bytes) {
    frame.resize(bytes);
    trim.EmptyAfterFrame(frame);
    EXPECT_TRUE(frame.empty());
}

TEST(CFrameBufferTrim, OneOversizedFrameIsGivenBackAfterTheQuietFrames) {
    CFrameBufferTrim trim;
    std::vector<uint8_t> frame;
    Finish(trim, frame, 3 << 20);
    for (uint32_t n = 1; n < CFrameBufferTrim::kQuietFrames; ++n)
        Finish(trim, frame, 20000);
    EXPECT_GE(frame.capacity(), size_t(3) << 20); // kept while a large frame may still come
    Finish(trim, frame, 20000);
    EXPECT_LE(frame.capacity(), CFrameBufferTrim::kKeptBytes);
}

TEST(CFrameBufferTrim, RegularLargeFramesKeepTheirBufferAndSmallBuffersAreNeverTouched) {
    CFrameBufferTrim trim;
    std::vector<uint8_t> frame;
    for (int second = 0; second < 30; ++second) {
        Finish(trim, frame, 2 << 20); // a large key frame every 30 frames
        for (int n = 0; n < 29; ++n)
            Finish(trim, frame, 50000);
        EXPECT_GE(frame.capacity(), size_t(2) << 20);
    }
    CFrameBufferTrim smallTrim;
    std::vector<uint8_t> small;
    Finish(smallTrim, small, 500000);
    const size_t capacity = small.capacity();
    for (uint32_t n = 0; n <= CFrameBufferTrim::kQuietFrames; ++n)
        Finish(smallTrim, small, 1000);
    EXPECT_EQ(small.capacity(), capacity);
}

} // namespace
} // namespace talvex
