// The one line reader of both configuration files.
#include "config/SettingLines.h"

#include <gtest/gtest.h>

TEST(SettingLines, OnlyTrimmedCrLfLinesWithAnEqualsSignGiveAKeyAndAValue) {
    const std::pair<const char*, const char*> cases[] = {
        {"a=1\r\nb=2", "[a|1]"},
        {"a=1\nb=2\r\n", "[a|1\nb=2]"},
        {"a=1\rb=2\r\n", "[a|1\rb=2]"},
        {"", ""},
        // The line is trimmed, its key and value are not trimmed again.
        {" \t zynPort=1 \v\r\n", "[zynPort|1]"},
        {"zynPort =1\r\nzynPort= 1\r\n", "[zynPort |1][zynPort| 1]"},
        {"[Section]\r\n  [zynPort=1]\r\n\r\n   \r\nno equals\r\nk=v\r\n", "[k|v]"},
        {"k=a=b; c;\r\n=v\r\nk=\r\n", "[k|a=b; c;][|v][k|]"},
    };
    for (const auto& [text, lines] : cases) {
        std::string read;
        for (const auto& line : zyn::ReadSettingLines(text))
            read += "[" + line.key + "|" + line.value + "]";
        EXPECT_EQ(read, lines) << text;
    }
}
