// The one line reader of both configuration files.
#include "config/SettingLines.h"

#include <gtest/gtest.h>

namespace {
std::string Keys(const std::string& text) {
    std::string keys;
    for (const auto& line : zyn::ReadSettingLines(text))
        keys += "[" + line.key + "|" + line.value + "]";
    return keys;
}
} // namespace

TEST(SettingLines, OnlyTextEndedByCrLfFormsALine) {
    EXPECT_EQ(Keys("a=1\r\nb=2"), "[a|1]");
    EXPECT_EQ(Keys("a=1\nb=2\r\n"), "[a|1\nb=2]");
    EXPECT_EQ(Keys("a=1\rb=2\r\n"), "[a|1\rb=2]");
    EXPECT_EQ(Keys(""), "");
}

TEST(SettingLines, LinesAreTrimmedButKeyAndValueAreNotTrimmedAgain) {
    EXPECT_EQ(Keys(" \t zynPort=1 \v\r\n"), "[zynPort|1]");
    EXPECT_EQ(Keys("zynPort =1\r\n"), "[zynPort |1]");
    EXPECT_EQ(Keys("zynPort= 1\r\n"), "[zynPort| 1]");
}

TEST(SettingLines, HeadersEmptyLinesAndLinesWithoutEqualsYieldNothing) {
    EXPECT_EQ(Keys("[Section]\r\n  [zynPort=1]\r\n\r\n   \r\nno equals\r\nk=v\r\n"), "[k|v]");
}

TEST(SettingLines, KeyEndsAtTheFirstEqualsAndTheValueKeepsEverythingElse) {
    EXPECT_EQ(Keys("k=a=b; c;\r\n=v\r\nk=\r\n"), "[k|a=b; c;][|v][k|]");
}
