// The run mode comes from the first argument alone, compared whole, exactly, after trimming.
#include "app/RunMode.h"

#include <gtest/gtest.h>

TEST(RunMode, EachModeNameSelectsItsMode) {
    EXPECT_EQ(zyn::ParseRunMode("-stage1"), zyn::RunMode::Stage1);
    EXPECT_EQ(zyn::ParseRunMode("-stage2"), zyn::RunMode::Stage2);
    EXPECT_EQ(zyn::ParseRunMode("-config"), zyn::RunMode::Config);
    EXPECT_EQ(zyn::ParseRunMode(""), zyn::RunMode::Normal);
}

TEST(RunMode, OnlyTheWholeTextInItsExactCaseMatches) {
    for (const char* text : {"-Config", "-STAGE1", "-config2", "config", "-stage", "-stage1 x"})
        EXPECT_EQ(zyn::ParseRunMode(text), zyn::RunMode::Normal) << text;
}

TEST(RunMode, WhiteSpaceAroundAQuotedArgumentIsTrimmed) {
    EXPECT_EQ(zyn::ParseRunMode(" -config "), zyn::RunMode::Config);
    EXPECT_EQ(zyn::ParseRunMode("\t\v\f-stage1\r\n"), zyn::RunMode::Stage1);
    // Only the ends are trimmed.
    EXPECT_EQ(zyn::ParseRunMode("-con fig"), zyn::RunMode::Normal);
}
