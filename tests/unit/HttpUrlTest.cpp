// The split of an http(s) URL, where a redirection leads, and the names put into a URL.
#include "net/HttpUrl.h"

#include <gtest/gtest.h>

using zyn::UrlSplit;

TEST(HttpUrl, SchemeHostPortAuthorityAndPathAreSplit) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://update.zyn.example/zyn/clientgetconfig.php",
         "http update.zyn.example 80 update.zyn.example /zyn/clientgetconfig.php"},
        {"http://127.0.0.2:8080/zyn/", "http 127.0.0.2 8080 127.0.0.2:8080 /zyn/"},
        {"HTTP://host", "http host 80 host /"},
        {"http://host:65535/a?b#c", "http host 65535 host:65535 /a?b"},
        {"http://host?b", "http host 80 host /?b"},
        {"HTTPS://host/zyn/", "https host 443 host /zyn/"},
        {"http://[::1]:8080/zyn/", "http ::1 8080 [::1]:8080 /zyn/"},
        {"https://[2001:db8::7]/", "https 2001:db8::7 443 [2001:db8::7] /"},
    };
    for (const auto& [text, parts] : cases) {
        zyn::HttpUrl url;
        ASSERT_EQ(zyn::SplitHttpUrl(text, url), UrlSplit::Ok) << text;
        EXPECT_EQ(url.scheme + " " + url.host + " " + std::to_string(url.port) + " " +
                      url.authority + " " + url.path,
                  parts);
    }
}

TEST(HttpUrl, OtherSchemesAreUnsupportedAndBrokenUrlsMalformed) {
    zyn::HttpUrl url;
    EXPECT_EQ(zyn::SplitHttpUrl("ftp://host/zyn/", url), UrlSplit::UnsupportedScheme);
    for (const char* text :
         {"", "host/zyn/", "://host/", "http:///zyn/", "http://host:/", "http://host:0/",
          "http://host:65536/", "http://host:80x/", "http://user@host/", "http://[::1/",
          "http://[::1]x/", "http://[1.2.3.4]/", "http://[fe80::1%25eth0]/", "http://a]b/",
          "http://host/a b", "http://host/a\r\nX-Injected: 1", "http://ho\tst/"})
        EXPECT_EQ(zyn::SplitHttpUrl(text, url), UrlSplit::Malformed) << text;
}

TEST(HttpUrl, ALocationIsResolvedAgainstTheRequestAndNeverLeavesHttps) {
    const char* const base = "http://a/b/c/d;p?q";
    const struct {
        const char* current;
        const char* location;
        const char* next; // empty: refused
        UrlSplit result = UrlSplit::Ok;
    } cases[] = {
        // The examples of RFC 3986 section 5.4 that an http URL can lead to.
        {base, "g", "http://a/b/c/g"},
        {base, "/g", "http://a/g"},
        {base, "//g", "http://g"},
        {base, "?y", "http://a/b/c/d;p?y"},
        {base, "#s", "http://a/b/c/d;p?q"},
        {base, "g?y#s", "http://a/b/c/g?y"},
        {base, "", "http://a/b/c/d;p?q"},
        {base, ".", "http://a/b/c/"},
        {base, "..", "http://a/b/"},
        {base, "../../../g", "http://a/g"},
        {base, "g..", "http://a/b/c/g.."},
        {base, "./g/.", "http://a/b/c/g/"},
        {base, "g;x=1/../y", "http://a/b/c/y"},
        {base, "HTTPS://mirror:8443/zyn/../x", "HTTPS://mirror:8443/x"},
        {"http://a", "g", "http://a/g"},
        {"https://a/zyn/x", "/y", "https://a/y"},
        {"https://a/zyn/x", "//b/y", "https://b/y"},
        {"https://a/zyn/x", "http://a/zyn/x", "", UrlSplit::Downgrade},
        {base, "ftp://a/x", "", UrlSplit::UnsupportedScheme},
        {base, "http:g", "", UrlSplit::Malformed},
        {base, "/a b", "", UrlSplit::Malformed},
    };
    for (const auto& c : cases) {
        std::string next;
        zyn::HttpUrl parts;
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
