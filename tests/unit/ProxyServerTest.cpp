// The proxy setting becomes a host and a port, split at the last ':' of the server text.
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
        {1, "ftp=10.0.0.1:21;socks=10.0.0.2:1080", "ftp=10.0.0.1:21;socks=10.0.0.2", 1080},
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
