// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "platform/ticks.h"

TEST(TickSource, ScopedSourceReplacesAndRestoresTheCounter) {
    {
        platform::ScopedTickSource fixed([]() -> std::uint32_t { return 12345; });
        EXPECT_EQ(platform::tickCount(), 12345u);
    }
    const std::uint32_t a = platform::tickCount();
    const std::uint32_t b = platform::monotonicTicks();
    EXPECT_LE(platform::ticksBetween(a, b), 1000u);  // the real counter is back
}
