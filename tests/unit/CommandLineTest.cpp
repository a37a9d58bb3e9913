// Windows-rule splitting of a command line, as the Linux program starts its children.
#include "formats/CommandLine.h"

#include <gtest/gtest.h>

using Words = std::vector<std::string>;

TEST(CommandLineTest, BlanksAndTabsSeparateAndRunsOfThemCountOnce) {
    EXPECT_EQ(formats::SplitCommandLine("zynEngine.exe -mode engine  -orbitals\t1.2.3.4:5 "),
              (Words{"zynEngine.exe", "-mode", "engine", "-orbitals", "1.2.3.4:5"}));
    EXPECT_EQ(formats::SplitCommandLine(""), Words{});
    EXPECT_EQ(formats::SplitCommandLine("zynUI.exe"), Words{"zynUI.exe"});
}

TEST(CommandLineTest, ProgramNameKeepsBackslashesAndDropsItsQuotes) {
    EXPECT_EQ(formats::SplitCommandLine("\"C:\\Zyn Files\\zynUI.exe\" -a"),
              (Words{"C:\\Zyn Files\\zynUI.exe", "-a"}));
    // A backslash escapes nothing here: the quote opens a group that takes in " b".
    EXPECT_EQ(formats::SplitCommandLine("C:\\zyn\\x.exe\\\" b"), Words{"C:\\zyn\\x.exe\\ b"});
}

TEST(CommandLineTest, QuotesGroupAndAreRemoved) {
    EXPECT_EQ(formats::SplitCommandLine("p \"a b\" c"), (Words{"p", "a b", "c"}));
    EXPECT_EQ(formats::SplitCommandLine("p a\"b c\"d"), (Words{"p", "ab cd"}));
    EXPECT_EQ(formats::SplitCommandLine("p \"\" x"), (Words{"p", "", "x"}));
    EXPECT_EQ(formats::SplitCommandLine("p \"open to the end"), (Words{"p", "open to the end"}));
    EXPECT_EQ(formats::SplitCommandLine("p \" -config \""), (Words{"p", " -config "}));
}

TEST(CommandLineTest, BackslashesEscapeOnlyQuotes) {
    // Not before a quote: literal.
    EXPECT_EQ(formats::SplitCommandLine("p a\\\\b\\"), (Words{"p", "a\\\\b\\"}));
    // 2n+1 before a quote: n backslashes and a literal quote.
    EXPECT_EQ(formats::SplitCommandLine("p a\\\"b"), (Words{"p", "a\"b"}));
    EXPECT_EQ(formats::SplitCommandLine("p a\\\\\\\"b"), (Words{"p", "a\\\"b"}));
    // 2n before a quote: n backslashes, and the quote groups.
    EXPECT_EQ(formats::SplitCommandLine("p \"a\\\\\" b"), (Words{"p", "a\\", "b"}));
}

TEST(CommandLineTest, DoubledQuoteInsideQuotesIsALiteralQuoteAndGroupingGoesOn) {
    EXPECT_EQ(formats::SplitCommandLine("p \"a\"\"b c\" d"), (Words{"p", "a\"b c", "d"}));
}
