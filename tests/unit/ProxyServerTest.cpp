// The proxy setting becomes a host and a port, split at the last ':' of the server text.
#include "config/ProxyServer.h"
#include "config/TextRules.h"

#include <gtest/gtest.h>

namespace {
struct Proxy {
    std::string host = "unset";
    int32_t port = -7;
};
Proxy Parse(uint32_t enabled, const std::string& server) {
    Proxy p;
    zyn::ParseProxyServer(enabled, server, p.host, p.port);
    return p;
}
} // namespace

TEST(ProxyServer, ADisabledSettingLeavesNoProxyWhateverTheServerText) {
    for (uint32_t enabled : {0u, 2u}) {
        const Proxy p = Parse(enabled, "10.0.0.1:3128");
        EXPECT_EQ(p.host, "unset");
        EXPECT_EQ(p.port, -7);
    }
}

TEST(ProxyServer, SplitsAtTheLastColon) {
    Proxy p = Parse(1, "10.0.0.1:3128");
    EXPECT_EQ(p.host, "10.0.0.1");
    EXPECT_EQ(p.port, 3128);

    p = Parse(1, "ftp=10.0.0.1:21;socks=10.0.0.2:1080");
    EXPECT_EQ(p.host, "ftp=10.0.0.1:21;socks=10.0.0.2");
    EXPECT_EQ(p.port, 1080);
}

TEST(ProxyServer, WithoutAColonTheHostIsEmptyAndTheWholeTextIsThePort) {
    Proxy p = Parse(1, "proxy.example");
    EXPECT_EQ(p.host, "");
    EXPECT_EQ(p.port, 0);
    p = Parse(1, " 8080");
    EXPECT_EQ(p.host, "");
    EXPECT_EQ(p.port, 8080);
}

TEST(ProxyServer, TextEndsAtAZeroByte) {
    const Proxy p = Parse(1, std::string("host:81\0other:99", 16));
    EXPECT_EQ(p.host, "host");
    EXPECT_EQ(p.port, 81);
}

TEST(ProxyServer, PortConversionIsLenientAndStaysIn32Bits) {
    EXPECT_EQ(zyn::ParseLeadingInt32("  +80x"), 80);
    EXPECT_EQ(zyn::ParseLeadingInt32("\t-12"), -12);
    EXPECT_EQ(zyn::ParseLeadingInt32("x80"), 0);
    EXPECT_EQ(zyn::ParseLeadingInt32("-"), 0);
    EXPECT_EQ(zyn::ParseLeadingInt32("99999999999999999999999"), 2147483647);
    EXPECT_EQ(zyn::ParseLeadingInt32("-99999999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(zyn::ParseLeadingInt32("4294967296"), 2147483647);
}
