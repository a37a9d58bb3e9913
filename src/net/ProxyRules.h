// Which proxy, if any, a transfer goes through: the user's setting read as the system's own
// programs read it (WinINet the registry's values, curl the environment), asked per URL.
#pragma once

#include "framework/System.h"
#include "net/HttpUrl.h"

#include <cstdint>
#include <string>

namespace zyn {

struct ProxyEndpoint {
    std::string host; // empty: no proxy
    int32_t port = 0;
    // The Proxy-Authorization value for the credentials the setting gives ("Basic ..."), or
    // empty.
    std::string authorization;
};

struct ProxyRules {
    enum class Bypass { ProxyOverride, NoProxy };

    ProxyEndpoint http;  // for http:// URLs
    ProxyEndpoint https; // for https:// URLs
    std::string bypass;  // the hosts reached directly, a list read as `bypassRules` says
    Bypass bypassRules = Bypass::ProxyOverride;

    // The proxy for `url`; null when the transfer goes straight to the server.
    const ProxyEndpoint* For(const HttpUrl& url) const;
};

// The registry's values (enabled, ProxyServer per scheme, ProxyOverride), or the environment's
// proxy URLs (http_proxy, https_proxy, with their credentials percent-decoded) and no_proxy.
ProxyRules ReadProxyRules(const sys::ProxySetting& setting);

} // namespace zyn
