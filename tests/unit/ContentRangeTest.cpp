// What a reply must carry to continue a file's kept bytes: its Content-Range and validator.
#include "net/ContentRange.h"

#include <gtest/gtest.h>

TEST(ContentRange, OnlyAPartFromTheKeptLengthToTheEndOfAKnownTotalContinuesAFile) {
    // Refused: the form of a range that cannot be served, no total (the end cannot be told), a
    // part that starts elsewhere, stops short, ends before it begins, and malformed ones.
    const std::pair<const char*, uint64_t> cases[] = {
        {"bytes 1000-59999/60000", 60000},
        {"Bytes 1000-1000/1001", 1001},
        {"", 0},
        {"bytes */60000", 0},
        {"bytes 1000-59999/*", 0},
        {"bytes 0-59999/60000", 0},
        {"bytes 1000-59998/60000", 0},
        {"bytes 1000-999/1000", 0},
        {"bytes 1000-99999999999999999999/100000000000000000000", 0},
        {"bytes 1000-59999/60000 ", 0},
        {"bytes  1000-59999/60000", 0},
        {"items 1000-59999/60000", 0},
        {"bytes 1000-+59999/60000", 0},
    };
    for (const auto& [value, expected] : cases) {
        uint64_t total = 0;
        EXPECT_EQ(zyn::ReadResumedRange(value, 1000, total), expected != 0) << value;
        EXPECT_EQ(total, expected) << value;
    }
}

TEST(ContentRange, TheValidatorIsAStrongQuotedTagElseTheDateAndOnlyOneFitForARequest) {
    const std::string date = "Last-Modified: Tue, 01 Oct 2024 10:00:00 GMT\r\n";
    const std::pair<std::string, const char*> cases[] = {
        {"ETag: \"5f3a-ea60\"\r\n" + date, "\"5f3a-ea60\""},
        {"etag: W/\"5f3a\"\r\n" + date, "Tue, 01 Oct 2024 10:00:00 GMT"},
        {"ETag: 5f3a-ea60\r\n", ""},
        {"ETag: \"\r\n", ""},
        {"ETag: \"a\rb\"\r\n", ""},
        {"Last-Modified: \x7f\r\n", ""},
        {"", ""},
    };
    for (const auto& [fields, validator] : cases) {
        zyn::HttpReplyReader reply;
        reply.Feed("HTTP/1.1 200 OK\r\n" + fields + "Content-Length: 0\r\n\r\n");
        EXPECT_EQ(zyn::ReplyValidator(reply), validator) << fields;
    }
    EXPECT_TRUE(zyn::IsUsableValidator(std::string(256, 'v')));
    EXPECT_FALSE(zyn::IsUsableValidator(std::string(257, 'v')));
}
