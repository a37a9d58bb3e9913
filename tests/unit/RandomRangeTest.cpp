// The server picker's range rule.
#include "net/RandomRange.h"

#include <gtest/gtest.h>

TEST(RandomRange, HighBelowLowIsRefusedWithAMessageAndEqualValuesAreKept) {
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
