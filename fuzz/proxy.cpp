// Fuzzes the proxy setting as both systems give it. The input's lines: the Windows server text
// (or the Linux proxy URL), the list of hosts reached directly, a URL to choose a proxy for.
// The promises checked are marked "Promise".
#include "FuzzCheck.h"
#include "config/ProxyServer.h"
#include "formats/ProxyUrl.h"
#include "net/HttpUrl.h"
#include "net/ProxyBypass.h"
#include "net/ProxyRules.h"

#include <algorithm>
#include <cctype>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> lines = Fields(InputText(data, size), '\n', 3);
    lines.resize(3);
    const std::string &server = lines[0], &list = lines[1], &url = lines[2];
    // Promise: a setting that is off changes nothing.
    std::string host = "untouched";
    int32_t port = -1;
    zyn::ParseProxyServer(0, server, host, port);
    Require(host == "untouched" && port == -1);
    zyn::ParseProxyServer(1, server, host, port);
    // Promise: a URL taken as a proxy always gives a host to connect to. The environment holds
    // C strings: a URL ends at its first zero byte.
    const std::string proxyUrl = server.substr(0, server.find('\0'));
    const std::string hostPort = formats::ProxyServerFromUrl(proxyUrl);
    if (!hostPort.empty()) {
        zyn::SplitProxyServer(hostPort, host, port);
        Require(!host.empty());
    }
    // Promise: a chosen proxy has a host.
    sys::ProxySetting registry, environment;
    registry.enabled = 1;
    registry.server = server;
    registry.proxyOverride = list;
    environment.fromEnvironment = true;
    environment.httpProxy = environment.httpsProxy = proxyUrl;
    environment.noProxy = list.substr(0, list.find('\0'));
    zyn::HttpUrl parts;
    if (zyn::SplitHttpUrl(url, parts) == zyn::UrlSplit::Ok)
        for (const sys::ProxySetting& setting : {registry, environment}) {
            const zyn::ProxyRules rules = zyn::ReadProxyRules(setting);
            Require(!rules.For(parts) || !rules.For(parts)->host.empty());
        }
    // Promise: a list made of "*", or of a plain host alone (letters, digits, dots, dashes and
    // colons, an alphanumeric at each end), takes that host.
    Require(!zyn::IsInNoProxy(list, ""));
    if (!url.empty())
        Require(zyn::IsInNoProxy("*", url) && zyn::IsInProxyOverride("*", url));
    const auto alnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    if (!url.empty() && alnum(url.front()) && alnum(url.back()) &&
        std::all_of(url.begin(), url.end(),
                    [&](char c) { return alnum(c) || c == '.' || c == '-' || c == ':'; }))
        Require(zyn::IsInNoProxy(url, url) && zyn::IsInProxyOverride(url, url));
    return 0;
}
