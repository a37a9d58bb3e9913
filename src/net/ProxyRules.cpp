// Which proxy, if any, a transfer goes through.
#include "net/ProxyRules.h"

#include "config/ProxyServer.h"
#include "formats/Base64.h"
#include "formats/ProxyUrl.h"
#include "net/ProxyBypass.h"

namespace zyn {

namespace {

// A proxy URL of the environment; an empty one names no proxy.
ProxyEndpoint ReadProxyUrl(const std::string& url) {
    ProxyEndpoint proxy;
    const std::string server = formats::ProxyServerFromUrl(url);
    if (server.empty())
        return proxy;
    SplitProxyServer(server, proxy.host, proxy.port);
    const std::string userInfo = formats::ProxyUserInfoFromUrl(url);
    if (!userInfo.empty()) {
        const size_t colon = userInfo.find(':');
        const std::string password =
            colon == std::string::npos ? "" : DecodePercent(userInfo.substr(colon + 1));
        const std::string credentials = DecodePercent(userInfo.substr(0, colon)) + ":" + password;
        proxy.authorization =
            "Basic " + formats::EncodeBase64(reinterpret_cast<const uint8_t*>(credentials.data()),
                                             credentials.size());
    }
    return proxy;
}

} // namespace

const ProxyEndpoint* ProxyRules::For(const HttpUrl& url) const {
    const ProxyEndpoint& proxy = url.scheme == "https" ? https : http;
    if (proxy.host.empty())
        return nullptr;
    const bool bypassed = bypassRules == Bypass::NoProxy ? IsInNoProxy(bypass, url.host)
                                                         : IsInProxyOverride(bypass, url.host);
    return bypassed ? nullptr : &proxy;
}

ProxyRules ReadProxyRules(const sys::ProxySetting& setting) {
    ProxyRules rules;
    if (setting.fromEnvironment) {
        rules.http = ReadProxyUrl(setting.httpProxy);
        rules.https = ReadProxyUrl(setting.httpsProxy);
        rules.bypass = setting.noProxy;
        rules.bypassRules = ProxyRules::Bypass::NoProxy;
        return rules;
    }
    if (setting.enabled != 1)
        return rules;
    ParseProxyServer(1, setting.server, rules.http.host, rules.http.port);
    FindProxyServer(setting.server, "https", rules.https.host, rules.https.port);
    rules.bypass = setting.proxyOverride;
    return rules;
}

} // namespace zyn
