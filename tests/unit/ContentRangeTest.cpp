// What a reply must carry to continue the kept bytes of a file: the Content-Range, and the
// validator that later requests name the file's version by.
#include "net/ContentRange.h"

#include <gtest/gtest.h>

TEST(ContentRange, OnlyAPartFromTheKeptLengthToTheEndOfAKnownTotalContinuesAFile) {
    const struct {
        const char* value;
        uint64_t total; // 0: refused
    } cases[] = {
        {"bytes 1000-59999/60000", 60000},
        {"Bytes 1000-1000/1001", 1001},
        {"", 0},
        {"bytes */60000", 0},          // the form of a range that cannot be served
        {"bytes 1000-59999/*", 0},     // no total: the end cannot be told
        {"bytes 0-59999/60000", 0},    // starts elsewhere
        {"bytes 1000-59998/60000", 0}, // stops short
        {"bytes 1000-999/1000", 0},    // ends before it begins
        {"bytes 1000-99999999999999999999/100000000000000000000", 0},
        {"bytes 1000-59999/60000 ", 0},
        {"bytes  1000-59999/60000", 0},
        {"items 1000-59999/60000", 0},
        {"bytes 1000-+59999/60000", 0},
    };
    for (const auto& c : cases) {
        uint64_t total = 0;
        EXPECT_EQ(zyn::ReadResumedRange(c.value, 1000, total), c.total != 0) << c.value;
        EXPECT_EQ(total, c.total) << c.value;
    }
}

TEST(ContentRange, TheValidatorIsAStrongQuotedTagElseTheDateAndOnlyOneFitForARequest) {
    const struct {
        const char* fields;
        const char* validator;
    } cases[] = {
        {"ETag: \"5f3a-ea60\"\r\nLast-Modified: Tue, 01 Oct 2024 10:00:00 GMT\r\n",
         "\"5f3a-ea60\""},
        {"etag: W/\"5f3a\"\r\nLast-Modified: Tue, 01 Oct 2024 10:00:00 GMT\r\n",
         "Tue, 01 Oct 2024 10:00:00 GMT"},
        {"ETag: 5f3a-ea60\r\n", ""},
        {"ETag: \"\r\n", ""},
        {"ETag: \"a\rb\"\r\n", ""},
        {"Last-Modified: \x7f\r\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        zyn::HttpReplyReader reply;
        reply.Feed(std::string("HTTP/1.1 200 OK\r\n") + c.fields + "Content-Length: 0\r\n\r\n");
        EXPECT_EQ(zyn::ReplyValidator(reply), c.validator) << c.fields;
    }
    EXPECT_TRUE(zyn::IsUsableValidator(std::string(256, 'v')));
    EXPECT_FALSE(zyn::IsUsableValidator(std::string(257, 'v')));
}
