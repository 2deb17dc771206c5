#include "utils/stopwatch.h"

#include <gtest/gtest.h>

namespace {

TEST(Stopwatch, ElapsedFromAnInjectedTick) {
    uint32_t now = 0;
    Utils::Stopwatch sw([&] { return now; });
    now = 5000;
    EXPECT_FALSE(sw.Running());
    EXPECT_EQ(sw.ElapsedSeconds(), 0.0f);  // not started
    struct Case {
        uint32_t start, later;
        float seconds;
    } cases[] = {
        {1000, 1000, 0.0f},
        {1000, 3500, 2.5f},
        {0xFFFFFC18u, 500, 1.5f},  // the counter wrapped between the two reads
    };
    for (const Case& c : cases) {
        now = c.start;
        sw.Start();
        EXPECT_TRUE(sw.Running());
        now = c.later;
        EXPECT_FLOAT_EQ(sw.ElapsedSeconds(), c.seconds) << c.start << " -> " << c.later;
    }
}

TEST(Stopwatch, RealClockMoves) {
    uint32_t a = Utils::TickCountMs();
    uint32_t b = Utils::TickCountMs();
    EXPECT_LE(b - a, 1000u);
}

}  // namespace
