// The pace a transfer must keep, in ticks: the stall window and the average rate.
#include "net/TransferPace.h"

#include <gtest/gtest.h>

TEST(TransferPace, ATransferEndsAtTheFirstTickThatFindsItStalledOrSlowOnAverage) {
    const struct {
        const char* name;
        uint64_t (*bytesBefore)(unsigned tick); // ticks count from 1
        unsigned endsAt;                        // 0: still going at tick 1000
    } cases[] = {
        {"4 KiB at once, then silence", [](unsigned t) { return uint64_t(t == 1 ? 4096 : 0); }, 31},
        // Over the stall floor, under the rate: a minute after the tick that found the first byte.
        {"150 B a tick", [](unsigned) { return uint64_t(150); }, 61},
        {"silence for 19 ticks, then 400 B a tick",
         [](unsigned t) { return uint64_t(t < 20 ? 0 : 400); }, 80},
        // The average counts from the first byte: a fast start carries a slow rest a while.
        {"100 kB, then 150 B a tick", [](unsigned t) { return uint64_t(t == 1 ? 100000 : 150); },
         116},
        {"1 KiB a tick", [](unsigned) { return uint64_t(1024); }, 0},
        {"2 KB a tick", [](unsigned) { return uint64_t(2000); }, 0},
    };
    for (const auto& c : cases) {
        zyn::TransferPace pace;
        pace.Count(1 << 20); // of a connection before the restart
        pace.Restart();
        unsigned tick = 1;
        for (; tick <= 1000; ++tick) {
            pace.Count(c.bytesBefore(tick));
            if (!pace.Tick())
                break;
        }
        EXPECT_EQ(tick > 1000 ? 0 : tick, c.endsAt) << c.name;
    }
}
