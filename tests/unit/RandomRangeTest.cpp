// The server picker: its range rule and the draw from a fixed clock.
#include "net/RandomRange.h"
#include "framework/System.h"
#include "support/FakeDialogHost.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

class RandomRange : public ::testing::Test {
  protected:
    void SetUp() override {
        DialogHost::Install(&host);
        sys::FixCalendarTime(kTime);
    }
    void TearDown() override {
        sys::FixCalendarTime(std::nullopt);
        DialogHost::Install(nullptr);
    }
    // 2024-02-29 12:00 UTC: the same date in every time zone within twelve hours of UTC.
    static constexpr int64_t kTime = 1709208000;
    static constexpr unsigned kSeed = 1709208000u + 29 + 2 + 2024;
    FakeDialogHost host;
};

TEST_F(RandomRange, HighBelowLowIsRefusedWithAMessageAndEqualValuesAreKept) {
    CRandomRange range(5, 2);
    EXPECT_EQ(range.GetLow(), 0);
    EXPECT_EQ(range.GetHigh(), 1);
    const auto boxes = host.EventsOf(FakeDialogHost::Event::Message);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(
        boxes[0].text,
        "Error: HIGH value cannot be less than LOW value!\nUsing defaults: High = 1, Low = 0");

    range.SetRange(4, 4);
    range.Seed();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(range.Next(), 4);
    EXPECT_EQ(host.EventsOf(FakeDialogHost::Event::Message).size(), 1u);
}

TEST_F(RandomRange, ChoiceAmongThreeIsTheFirstDrawAfterSeedingWithTheDateAdded) {
    std::srand(kSeed);
    const int expected = std::rand() % 3;
    std::srand(12345);
    EXPECT_EQ(ChooseEntryIndex(3), expected);

    // With several draws a wrong seed cannot agree by chance.
    std::srand(kSeed);
    int draws[4];
    for (int& draw : draws)
        draw = 10 + std::rand() % 32768;
    CRandomRange range(10, 10 + 32767);
    range.Seed();
    for (int draw : draws)
        EXPECT_EQ(range.Next(), draw);
}

TEST_F(RandomRange, SingleEntryIsChosenWithoutADraw) {
    std::srand(777);
    const int first = std::rand();
    std::srand(777);
    EXPECT_EQ(ChooseEntryIndex(1), 0);
    EXPECT_EQ(std::rand(), first);
}

} // namespace
