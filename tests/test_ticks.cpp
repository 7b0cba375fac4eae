#include <gtest/gtest.h>

#include "platform/ticks.h"

namespace {
std::uint32_t fixedTicks() {
    return 12345;
}
}  // namespace

TEST(TickDifference, IsTakenInThirtyTwoBitsAcrossAWrap) {
    EXPECT_EQ(platform::ticksBetween(0xFFFFFFF0u, 0x00000010u), 0x20u);
    EXPECT_EQ(platform::elapsedMs(0xFFFFFFF0u, 0x00000010u), 32);
    EXPECT_EQ(platform::elapsedMs(1000u, 1500u), 500);
    EXPECT_EQ(platform::elapsedMs(7u, 7u), 0);
}

TEST(TickSource, ScopedSourceReplacesAndRestoresTheCounter) {
    {
        platform::ScopedTickSource fixed(fixedTicks);
        EXPECT_EQ(platform::tickCount(), 12345u);
    }
    const std::uint32_t a = platform::tickCount();
    const std::uint32_t b = platform::monotonicTicks();
    EXPECT_LE(platform::ticksBetween(a, b), 1000u);  // the real counter is back
}

TEST(TickSource, MonotonicCounterNeverRunsBackwards) {
    std::uint32_t last = platform::monotonicTicks();
    for (int i = 0; i < 1000; ++i) {
        const std::uint32_t now = platform::monotonicTicks();
        EXPECT_LT(platform::ticksBetween(last, now), 0x80000000u);
        last = now;
    }
}
