// The run mode comes from the first argument alone, compared whole, exactly, after trimming.
#include "app/RunMode.h"

#include <gtest/gtest.h>

TEST(RunMode, OnlyAModeNameInItsExactCaseWithItsEndsTrimmedSelectsItsMode) {
    using zyn::RunMode;
    const std::pair<const char*, RunMode> cases[] = {
        {"-stage1", RunMode::Stage1},   {"-stage2", RunMode::Stage2},
        {"-config", RunMode::Config},   {"", RunMode::Normal},
        {" -config ", RunMode::Config}, {"\t\v\f-stage1\r\n", RunMode::Stage1},
        {"-con fig", RunMode::Normal},  {"-Config", RunMode::Normal},
        {"-STAGE1", RunMode::Normal},   {"-config2", RunMode::Normal},
        {"config", RunMode::Normal},    {"-stage", RunMode::Normal},
        {"-stage1 x", RunMode::Normal}};
    for (const auto& [text, mode] : cases)
        EXPECT_EQ(zyn::ParseRunMode(text), mode) << text;
}
