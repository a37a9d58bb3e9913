// Only a lone Escape byte is Escape: Alt+key and key sequences are not, even split across reads.
#include "framework/terminal/KeyDecoder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

using Key = KeyDecoder::Key;

TEST(KeyDecoderTest, KeysFromReadsAndWhetherALoneEscapeWaitsAtTheEnd) {
    const std::tuple<std::string, std::vector<Key>, bool> cases[] = {
        // '|' separates reads
        {"\r|\n|\x03", {Key::Enter, Key::Enter, Key::Interrupt}, false},
        {"\x1b", {}, true},
        {"\x1bx|\x1b\r", {}, false},             // Alt+x, Alt+Enter
        {"\x1b|[A|\x1b|O|P", {}, false},         // Up, F1 in pieces
        {"\x1b[1|5;2|~\r", {Key::Enter}, false}, // Shift+F5, then Enter
        {"\x1b[1\r", {Key::Enter}, false},       // a cut sequence frees what follows
    };
    for (const auto& [reads, expected, lone] : cases) {
        KeyDecoder decoder;
        std::vector<Key> keys;
        std::istringstream in(reads);
        for (std::string read; std::getline(in, read, '|');)
            for (Key key : decoder.Feed(read))
                keys.push_back(key);
        EXPECT_EQ(keys, expected) << ::testing::PrintToString(reads);
        EXPECT_EQ(decoder.Expire(), lone) << ::testing::PrintToString(reads);
    }
}
