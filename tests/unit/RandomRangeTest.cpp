// The server picker: its range rule and the draw from a fixed clock.
#include "net/RandomRange.h"
#include "framework/System.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

class RandomRange : public ::testing::Test {
  protected:
    // 2024-02-29 12:00 UTC: the same date in every time zone within twelve hours of UTC.
    void SetUp() override { sys::FixCalendarTime(1709208000); }
    void TearDown() override { sys::FixCalendarTime(std::nullopt); }
};

TEST_F(RandomRange, HighBelowLowIsRefusedWithAMessageAndEqualValuesAreKept) {
    std::vector<std::string> boxes;
    CRandomRange range(5, 2, [&](const std::string& text) { boxes.push_back(text); });
    EXPECT_EQ(std::pair(range.GetLow(), range.GetHigh()), std::pair(0, 1));
    EXPECT_EQ(boxes, std::vector<std::string>{"Error: HIGH value cannot be less than LOW value!"
                                              "\nUsing defaults: High = 1, Low = 0"});
    range.SetRange(4, 4);
    range.Seed();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(range.Next(), 4);
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(RandomRange, DrawsFollowASeedOfTheTimeWithTheDateAddedAndOneEntryNeedsNone) {
    const unsigned seed = 1709208000u + 29 + 2 + 2024;
    std::srand(seed);
    const int first = std::rand() % 3;
    // With several draws a wrong seed cannot agree by chance.
    std::srand(seed);
    int draws[4];
    for (int& draw : draws)
        draw = 10 + std::rand() % 32768;
    std::srand(12345);
    EXPECT_EQ(zyn::ChooseEntryIndex(3, {}), first);
    CRandomRange range(10, 10 + 32767);
    range.Seed();
    for (int draw : draws)
        EXPECT_EQ(range.Next(), draw);

    std::srand(777);
    const int next = std::rand();
    std::srand(777);
    EXPECT_EQ(zyn::ChooseEntryIndex(1, {}), 0);
    EXPECT_EQ(std::rand(), next);
}

} // namespace
