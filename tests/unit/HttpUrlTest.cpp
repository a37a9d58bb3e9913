// The split of an http(s) URL into what a connection and its request need, where a redirection
// leads, and the names put into a URL.
#include "net/HttpUrl.h"

#include <gtest/gtest.h>

using zyn::HttpUrl;
using zyn::SplitHttpUrl;
using zyn::UrlSplit;

TEST(HttpUrl, SchemeHostPortAuthorityAndPathAreSplit) {
    struct Case {
        const char* url;
        const char* scheme;
        const char* host;
        uint16_t port;
        const char* authority;
        const char* path;
    } cases[] = {
        {"http://update.zyn.example/zyn/clientgetconfig.php", "http", "update.zyn.example", 80,
         "update.zyn.example", "/zyn/clientgetconfig.php"},
        {"http://127.0.0.2:8080/zyn/", "http", "127.0.0.2", 8080, "127.0.0.2:8080", "/zyn/"},
        {"HTTP://host", "http", "host", 80, "host", "/"},
        {"http://host:65535/a?b#c", "http", "host", 65535, "host:65535", "/a?b"},
        {"http://host?b", "http", "host", 80, "host", "/?b"},
        {"HTTPS://host/zyn/", "https", "host", 443, "host", "/zyn/"},
        {"http://[::1]:8080/zyn/", "http", "::1", 8080, "[::1]:8080", "/zyn/"},
        {"https://[2001:db8::7]/", "https", "2001:db8::7", 443, "[2001:db8::7]", "/"},
    };
    for (const Case& c : cases) {
        HttpUrl url;
        ASSERT_EQ(SplitHttpUrl(c.url, url), UrlSplit::Ok) << c.url;
        EXPECT_EQ(url.scheme, c.scheme);
        EXPECT_EQ(url.host, c.host);
        EXPECT_EQ(url.port, c.port);
        EXPECT_EQ(url.authority, c.authority);
        EXPECT_EQ(url.path, c.path);
    }
}

TEST(HttpUrl, OtherSchemesAreUnsupportedAndBrokenUrlsMalformed) {
    HttpUrl url;
    EXPECT_EQ(SplitHttpUrl("ftp://host/zyn/", url), UrlSplit::UnsupportedScheme);
    for (const char* text :
         {"", "host/zyn/", "://host/", "http:///zyn/", "http://host:/", "http://host:0/",
          "http://host:65536/", "http://host:80x/", "http://user@host/", "http://[::1/",
          "http://[::1]x/", "http://[1.2.3.4]/", "http://[fe80::1%25eth0]/", "http://a]b/",
          "http://host/a b", "http://host/a\r\nX-Injected: 1", "http://ho\tst/"})
        EXPECT_EQ(SplitHttpUrl(text, url), UrlSplit::Malformed) << text;
}

TEST(HttpUrl, ALocationIsResolvedAgainstTheRequestAndNeverLeavesHttps) {
    const char* const base = "http://a/b/c/d;p?q";
    const struct {
        const char* current;
        const char* location;
        UrlSplit result;
        const char* next;
    } cases[] = {
        // The examples of RFC 3986 section 5.4 that an http URL can lead to.
        {base, "g", UrlSplit::Ok, "http://a/b/c/g"},
        {base, "/g", UrlSplit::Ok, "http://a/g"},
        {base, "//g", UrlSplit::Ok, "http://g"},
        {base, "?y", UrlSplit::Ok, "http://a/b/c/d;p?y"},
        {base, "#s", UrlSplit::Ok, "http://a/b/c/d;p?q"},
        {base, "g?y#s", UrlSplit::Ok, "http://a/b/c/g?y"},
        {base, "", UrlSplit::Ok, "http://a/b/c/d;p?q"},
        {base, ".", UrlSplit::Ok, "http://a/b/c/"},
        {base, "..", UrlSplit::Ok, "http://a/b/"},
        {base, "../../../g", UrlSplit::Ok, "http://a/g"},
        {base, "g..", UrlSplit::Ok, "http://a/b/c/g.."},
        {base, "./g/.", UrlSplit::Ok, "http://a/b/c/g/"},
        {base, "g;x=1/../y", UrlSplit::Ok, "http://a/b/c/y"},
        {base, "HTTPS://mirror:8443/zyn/../x", UrlSplit::Ok, "HTTPS://mirror:8443/x"},
        {"http://a", "g", UrlSplit::Ok, "http://a/g"},
        {"https://a/zyn/x", "/y", UrlSplit::Ok, "https://a/y"},
        {"https://a/zyn/x", "//b/y", UrlSplit::Ok, "https://b/y"},
        {"https://a/zyn/x", "http://a/zyn/x", UrlSplit::Downgrade, ""},
        {base, "ftp://a/x", UrlSplit::UnsupportedScheme, ""},
        {base, "http:g", UrlSplit::Malformed, ""},
        {base, "/a b", UrlSplit::Malformed, ""},
    };
    for (const auto& c : cases) {
        std::string next;
        HttpUrl parts;
        EXPECT_EQ(zyn::FollowLocation(c.current, c.location, next, parts), c.result) << c.location;
        EXPECT_EQ(next, c.next) << c.location;
    }
}

TEST(HttpUrl, NamesAreEncodedWhereAUrlNeedsItAndDecodedBack) {
    const std::pair<const char*, const char*> cases[] = {
        {"zynEngine.exe", "zynEngine.exe"},
        {"Zyn UI.exe", "Zyn%20UI.exe"},
        {"100%.exe", "100%25.exe"},
        {"a#b?c.exe", "a%23b%3Fc.exe"},
        {"\xc3\xa9t\xc3\xa9-(1)+~,;=@!$&'*.exe", "%C3%A9t%C3%A9-(1)+~,;=@!$&'*.exe"},
    };
    for (const auto& [name, encoded] : cases) {
        EXPECT_EQ(zyn::EncodePathSegment(name), encoded);
        EXPECT_EQ(zyn::DecodePercent(encoded), name);
    }
    EXPECT_EQ(zyn::DecodePercent("%41%zz%4%"), "A%zz%4%");
}
