// The split of an http URL into what a connection and its request need.
#include "net/HttpUrl.h"

#include <gtest/gtest.h>

using zyn::HttpUrl;
using zyn::SplitHttpUrl;
using zyn::UrlSplit;

TEST(HttpUrl, HostPortAuthorityAndPathAreSplit) {
    struct Case {
        const char* url;
        const char* host;
        uint16_t port;
        const char* authority;
        const char* path;
    } cases[] = {
        {"http://update.zyn.example/zyn/clientgetconfig.php", "update.zyn.example", 80,
         "update.zyn.example", "/zyn/clientgetconfig.php"},
        {"http://127.0.0.2:8080/zyn/", "127.0.0.2", 8080, "127.0.0.2:8080", "/zyn/"},
        {"HTTP://host", "host", 80, "host", "/"},
        {"http://host:65535/a?b", "host", 65535, "host:65535", "/a?b"},
    };
    for (const Case& c : cases) {
        HttpUrl url;
        ASSERT_EQ(SplitHttpUrl(c.url, url), UrlSplit::Ok) << c.url;
        EXPECT_EQ(url.host, c.host);
        EXPECT_EQ(url.port, c.port);
        EXPECT_EQ(url.authority, c.authority);
        EXPECT_EQ(url.path, c.path);
    }
}

TEST(HttpUrl, OtherSchemesAreUnsupportedAndBrokenUrlsMalformed) {
    HttpUrl url;
    EXPECT_EQ(SplitHttpUrl("https://host/zyn/", url), UrlSplit::UnsupportedScheme);
    EXPECT_EQ(SplitHttpUrl("ftp://host/zyn/", url), UrlSplit::UnsupportedScheme);
    for (const char* text :
         {"", "host/zyn/", "://host/", "http:///zyn/", "http://host:/", "http://host:0/",
          "http://host:65536/", "http://host:80x/", "http://user@host/", "http://[::1]:80/",
          "http://host/a b", "http://host/a\r\nX-Injected: 1", "http://ho\tst/"})
        EXPECT_EQ(SplitHttpUrl(text, url), UrlSplit::Malformed) << text;
}
