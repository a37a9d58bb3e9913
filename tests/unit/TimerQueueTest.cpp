// Window-style timers: re-armed by a second Set, fired in order of their deadlines (ties in the
// order they were armed), and once only after falling behind. That they repeat until killed,
// every launch sequence test's fired timers show.
#include "framework/TimerQueue.h"

#include <gtest/gtest.h>

TEST(TimerQueueTest, SettingAnArmedIdRestartsItInsteadOfAddingASecondTimer) {
    TimerQueue q;
    q.Set(5, 0, 100);
    q.Set(5, 80, 100);
    EXPECT_EQ(q.PopDue(100), std::nullopt);
    EXPECT_EQ(q.PopDue(180), 5u);
    EXPECT_EQ(q.PopDue(180), std::nullopt);
    q.Kill(5);
    EXPECT_TRUE(q.IsEmpty());
}

TEST(TimerQueueTest, EarlierDeadlineFirstAndTiesInArmingOrder) {
    TimerQueue q;
    q.Set(3, 0, 300);
    q.Set(2, 0, 100);
    q.Set(1, 0, 100);
    EXPECT_EQ(q.PopDue(100), 2u);
    EXPECT_EQ(q.PopDue(100), 1u);
    EXPECT_EQ(q.PopDue(200), 2u);
    EXPECT_EQ(q.PopDue(200), 1u);
    // At 300 all three are due: the one that has waited since it was armed goes first.
    EXPECT_EQ(q.PopDue(300), 3u);
    EXPECT_EQ(q.PopDue(300), 2u);
    EXPECT_EQ(q.PopDue(300), 1u);
    EXPECT_EQ(q.PopDue(300), std::nullopt);
}

TEST(TimerQueueTest, TimerThatFellBehindFiresOnceAndResumesFromNow) {
    TimerQueue q;
    q.Set(1, 0, 100);
    EXPECT_EQ(q.PopDue(1050), 1u);
    EXPECT_EQ(q.PopDue(1050), std::nullopt);
    EXPECT_EQ(q.NextDue(), 1150u);
}

TEST(TimerQueueTest, ZeroPeriodDoesNotFireAgainAtTheSameInstant) {
    TimerQueue q;
    q.Set(1, 10, 0);
    EXPECT_EQ(q.PopDue(10), std::nullopt);
    EXPECT_EQ(q.PopDue(11), 1u);
    EXPECT_EQ(q.PopDue(11), std::nullopt);
}
