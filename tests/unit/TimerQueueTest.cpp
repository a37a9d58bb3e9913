// Window-style timers: re-armed by a second Set, fired by deadline (ties in arming order), once
// only after falling behind (that they repeat: every launch sequence test's fired timers).
#include "framework/TimerQueue.h"

#include <gtest/gtest.h>

TEST(TimerQueue, TimersFireByDeadlineThenArmingOrderAndOnceAfterFallingBehind) {
    using Ids = std::vector<unsigned>;
    TimerQueue q;
    const auto due = [&q](uint64_t now) {
        Ids ids;
        while (const std::optional<unsigned> id = q.PopDue(now))
            ids.push_back(*id);
        return ids;
    };
    q.Set(3, 0, 300);
    q.Set(2, 0, 100);
    q.Set(1, 0, 100);
    EXPECT_EQ(due(100), (Ids{2, 1}));
    EXPECT_EQ(due(200), (Ids{2, 1}));
    // At 300 all three are due: the one that has waited since it was armed goes first.
    EXPECT_EQ(due(300), (Ids{3, 2, 1}));
    // Fallen behind, each fires once and resumes from then.
    EXPECT_EQ(due(1050), (Ids{2, 1, 3}));
    EXPECT_EQ(q.NextDue(), 1150u);

    // Setting an armed id restarts it instead of adding a second timer.
    q.Clear();
    q.Set(5, 0, 100);
    q.Set(5, 80, 100);
    EXPECT_EQ(due(100), Ids{});
    EXPECT_EQ(due(180), Ids{5});
    q.Kill(5);
    EXPECT_TRUE(q.IsEmpty());
    // A zero period does not fire again at the same instant.
    q.Set(1, 10, 0);
    EXPECT_EQ(due(10), Ids{});
    EXPECT_EQ(due(11), Ids{1});
}
