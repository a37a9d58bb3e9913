// Only a lone Escape byte is the Escape key: Alt+key and key sequences are not, also when a
// read splits them.
#include "posix/KeyDecoder.h"

#include <gtest/gtest.h>

using Key = KeyDecoder::Key;

TEST(KeyDecoderTest, KeysFromReadsAndWhatWaitsAtTheEnd) {
    struct Case {
        std::vector<std::string> reads;
        std::vector<Key> keys; // over all reads
        bool loneEscapeAtEnd;
    } cases[] = {
        {{"\r", "\n", "\x03"}, {Key::Enter, Key::Enter, Key::Interrupt}, false},
        {{"\x1b"}, {}, true},
        {{"\x1bx", "\x1b\r"}, {}, false},                // Alt+x, Alt+Enter
        {{"\x1b", "[A", "\x1b", "O", "P"}, {}, false},   // Up, F1 in pieces
        {{"\x1b[1", "5;2", "~\r"}, {Key::Enter}, false}, // Shift+F5, then Enter
        {{"\x1b[1\r"}, {Key::Enter}, false},             // a cut sequence frees what follows
        {{"x\x1b[A", "\x1b"}, {}, true},
    };
    for (const Case& c : cases) {
        KeyDecoder decoder;
        std::vector<Key> keys;
        for (const std::string& read : c.reads)
            for (Key key : decoder.Feed(read))
                keys.push_back(key);
        EXPECT_EQ(keys, c.keys) << ::testing::PrintToString(c.reads);
        EXPECT_EQ(decoder.Expire(), c.loneEscapeAtEnd) << ::testing::PrintToString(c.reads);
        EXPECT_FALSE(decoder.IsWaiting());
    }
}
