// Which proxy a URL goes through: the per-scheme proxies of both settings, their credentials,
// and the lists of hosts reached directly, as curl and WinINet read them.
#include "net/ProxyRules.h"
#include "net/ProxyBypass.h"

#include <gtest/gtest.h>

TEST(ProxyRules, NoProxyIsReadAsCurlReadsItAndProxyOverrideAsWinINetDoes) {
    const struct {
        bool noProxy; // else ProxyOverride
        const char* list;
        const char* host;
        bool bypassed;
    } cases[] = {
        {true, "*", "any.example", true},
        {true, "zyn.example", "mirror.ZYN.example.", true},
        {true, ".zyn.example", "zyn.example", true},
        {true, "zyn.example", "notzyn.example", false},
        {true, "a, b ,,zyn.example", "zyn.example", true},
        {true, "a b,zyn.example", "zyn.example", false}, // the list ends where a comma is missing
        {true, "*,a", "zyn.example", false},             // "*" counts only alone
        {true, "zyn.example:80", "zyn.example", false},
        {true, "10.0.0.0/8", "10.200.3.4", true},
        {true, "10.0.0.0/9", "10.200.3.4", false},
        {true, "10.0.0.1", "10.0.0.10", false},
        {true, "::1", "0:0::1", true},
        {true, "2001:db8::/33", "2001:db8:ffff::1", false},
        {false, "<local>", "intranet", true},
        {false, "<LOCAL>", "zyn.example", false},
        {false, "<local>", "::1", false},
        {false, "zyn.example", "ZYN.example", true},
        {false, "zyn.example", "mirror.zyn.example", false}, // a name takes itself alone
        {false, "a;*.zyn.example", "mirror.zyn.example", true},
        {false, "x *.zyn.example", "zyn.example", false},
        {false, "10.*", "110.1.2.3", false},
        {false, "*mirror*", "a.mirror.b", true},
        {false, "m*r*x", "mirror", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.noProxy ? zyn::IsInNoProxy(c.list, c.host)
                            : zyn::IsInProxyOverride(c.list, c.host),
                  c.bypassed)
            << c.list << " / " << c.host;
}

TEST(ProxyRules, EachSettingGivesAProxyPerSchemeAndTheHostsThatGoDirectly) {
    sys::ProxySetting registry;
    registry.enabled = 1;
    registry.server = "http=10.0.0.1:3128;https=10.0.0.2:3129";
    registry.proxyOverride = "<local>;*.direct.example";
    sys::ProxySetting environment;
    environment.fromEnvironment = true;
    environment.httpProxy = "http://us%3Aer:p%40ss:w@proxy:3128";
    environment.httpsProxy = "secure:3129";
    environment.noProxy = "direct.example";
    const zyn::ProxyRules fromRegistry = zyn::ReadProxyRules(registry);
    const zyn::ProxyRules fromEnvironment = zyn::ReadProxyRules(environment);
    const struct {
        const zyn::ProxyRules& rules;
        const char* url;
        const char* host; // null: straight to the server
        int32_t port;
        const char* authorization;
    } cases[] = {
        {fromRegistry, "http://zyn.example/", "10.0.0.1", 3128, ""},
        {fromRegistry, "https://zyn.example/", "10.0.0.2", 3129, ""},
        {fromRegistry, "http://intranet/", nullptr, 0, ""},
        {fromRegistry, "http://a.direct.example/", nullptr, 0, ""},
        // base64("us:er:p@ss:w"): the user's ':' was encoded, the password's '@' too.
        {fromEnvironment, "http://zyn.example/", "proxy", 3128, "Basic dXM6ZXI6cEBzczp3"},
        {fromEnvironment, "https://zyn.example/", "secure", 3129, ""},
        {fromEnvironment, "http://a.direct.example/", nullptr, 0, ""},
    };
    for (const auto& c : cases) {
        zyn::HttpUrl url;
        ASSERT_EQ(zyn::SplitHttpUrl(c.url, url), zyn::UrlSplit::Ok);
        const zyn::ProxyEndpoint* proxy = c.rules.For(url);
        ASSERT_EQ(proxy != nullptr, c.host != nullptr) << c.url;
        if (proxy) {
            EXPECT_EQ(proxy->host, c.host);
            EXPECT_EQ(proxy->port, c.port);
            EXPECT_EQ(proxy->authorization, c.authorization);
        }
    }
    registry.enabled = 0;
    EXPECT_EQ(zyn::ReadProxyRules(registry).http.host, "");
}
