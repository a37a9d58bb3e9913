// The run mode comes from the first argument alone, compared whole, exactly, after trimming.
#include "app/RunMode.h"

#include <gtest/gtest.h>

TEST(RunMode, EachModeNameSelectsItsMode) {
    EXPECT_EQ(ParseRunMode("-stage1"), RunMode::Stage1);
    EXPECT_EQ(ParseRunMode("-stage2"), RunMode::Stage2);
    EXPECT_EQ(ParseRunMode("-config"), RunMode::Config);
    EXPECT_EQ(ParseRunMode(""), RunMode::Normal);
}

TEST(RunMode, OnlyTheWholeTextInItsExactCaseMatches) {
    for (const char* text : {"-Config", "-STAGE1", "-config2", "config", "-stage", "-stage1 x"})
        EXPECT_EQ(ParseRunMode(text), RunMode::Normal) << text;
}

TEST(RunMode, WhiteSpaceAroundAQuotedArgumentIsTrimmed) {
    EXPECT_EQ(ParseRunMode(" -config "), RunMode::Config);
    EXPECT_EQ(ParseRunMode("\t\v\f-stage1\r\n"), RunMode::Stage1);
    // Only the ends are trimmed.
    EXPECT_EQ(ParseRunMode("-con fig"), RunMode::Normal);
}
