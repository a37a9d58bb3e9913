// Windows-rule splitting of a command line, as the Linux program starts its children.
#include "formats/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, WordsAreSplitAsTheWindowsRuntimeSplitsThem) {
    using Words = std::vector<std::string>;
    const std::pair<const char*, Words> cases[] = {
        // Blanks and tabs separate, and runs of them count once.
        {"zynEngine.exe -mode  engine\t1.2.3.4:5 ",
         {"zynEngine.exe", "-mode", "engine", "1.2.3.4:5"}},
        {"", {}},
        // The program's name keeps its backslashes: a quote there only groups.
        {"\"C:\\Zyn Files\\zynUI.exe\" -a", {"C:\\Zyn Files\\zynUI.exe", "-a"}},
        {"C:\\zyn\\x.exe\\\" b", {"C:\\zyn\\x.exe\\ b"}},
        // Quotes group and are removed, up to the end when one is left open.
        {"p \"a b\" c", {"p", "a b", "c"}},
        {"p a\"b c\"d", {"p", "ab cd"}},
        {"p \"\" x", {"p", "", "x"}},
        {"p \"open to the end", {"p", "open to the end"}},
        {"p \" -config \"", {"p", " -config "}},
        // Backslashes escape only quotes: 2n+1 give n and a quote, 2n give n and a group.
        {"p a\\\\b\\", {"p", "a\\\\b\\"}},
        {"p a\\\"b", {"p", "a\"b"}},
        {"p a\\\\\\\"b", {"p", "a\\\"b"}},
        {"p \"a\\\\\" b", {"p", "a\\", "b"}},
        // A doubled quote inside quotes is a quote, and the group goes on.
        {"p \"a\"\"b c\" d", {"p", "a\"b c", "d"}},
    };
    for (const auto& [line, words] : cases)
        EXPECT_EQ(formats::SplitCommandLine(line), words) << line;
}
