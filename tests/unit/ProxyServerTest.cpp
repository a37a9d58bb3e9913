// The proxy setting becomes a host and a port: a single "host:port" split at its last ':', a list
// read per scheme as WinINet reads it.
#include "config/ProxyServer.h"
#include "config/TextRules.h"

#include <gtest/gtest.h>

TEST(ProxyServer, TheServerTextSplitsAtItsLastColonOnlyWhenTheSettingIsOne) {
    const struct {
        uint32_t enabled;
        std::string server, host;
        int32_t port;
    } cases[] = {
        {0, "10.0.0.1:3128", "unset", -7},
        {2, "10.0.0.1:3128", "unset", -7},
        {1, "10.0.0.1:3128", "10.0.0.1", 3128},
        {1, "[::1]:3128", "::1", 3128},
        // A list without an entry for http, or one for every scheme, names no proxy.
        {1, "ftp=10.0.0.1:21;socks=10.0.0.2:1080", "", 0},
        // Without a colon the host is empty and the whole text is the port.
        {1, "proxy.example", "", 0},
        {1, " 8080", "", 8080},
        {1, std::string("host:81\0other:99", 16), "host", 81}, // the text ends at a zero byte
    };
    for (const auto& c : cases) {
        std::string host = "unset";
        int32_t port = -7;
        zyn::ParseProxyServer(c.enabled, c.server, host, port);
        EXPECT_EQ(host, c.host) << c.server;
        EXPECT_EQ(port, c.port) << c.server;
    }
}

TEST(ProxyServer, AListGivesEachSchemeItsOwnEntryElseTheOneForAll) {
    const struct {
        const char* server;
        const char* scheme;
        const char* host; // null: no entry serves the scheme
        int32_t port;
    } cases[] = {
        {"http=10.0.0.1:3128;https=10.0.0.1", "http", "10.0.0.1", 3128},
        {"http=10.0.0.1:3128;https=10.0.0.1", "https", "10.0.0.1", 80},
        {"HTTPS=secure:3129 http://plain:3128/", "https", "secure", 3129},
        {"HTTPS=secure:3129 http://plain:3128/", "http", "plain", 3128},
        {"ftp=a:21;all:8080;other:1", "http", "all", 8080},
        {"http=http://[2001:db8::1]:3128", "http", "2001:db8::1", 3128},
        {"https=secure:3129;;", "http", nullptr, 0},
        {"10.0.0.1:3128", "https", "10.0.0.1", 3128},
    };
    for (const auto& c : cases) {
        std::string host = "unset";
        int32_t port = -7;
        EXPECT_EQ(zyn::FindProxyServer(c.server, c.scheme, host, port), c.host != nullptr)
            << c.server << c.scheme;
        EXPECT_EQ(host, c.host ? c.host : "unset") << c.server << c.scheme;
        EXPECT_EQ(port, c.host ? c.port : -7) << c.server << c.scheme;
    }
}

TEST(ProxyServer, PortConversionIsLenientAndStaysIn32Bits) {
    const std::pair<const char*, int32_t> cases[] = {
        {"  +80x", 80},
        {"\t-12", -12},
        {"x80", 0},
        {"-", 0},
        {"99999999999999999999999", 2147483647},
        {"-99999999999999999999999", -2147483647 - 1},
        {"4294967296", 2147483647},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(zyn::ParseLeadingInt32(text), value) << text;
}
