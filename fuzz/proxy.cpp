// Fuzzes the proxy setting as both systems give it: the Windows setting's server text and list
// of hosts reached directly, and the Linux environment's proxy URL (turned into the Windows text
// and credentials) and no_proxy. The input's lines are the server text or URL, the list, and a
// URL to choose a proxy for. Besides memory faults it checks that a setting that is off changes
// nothing, that a URL taken as a proxy always gives a host to connect to, that a chosen proxy
// has a host, and that a list made of a plain host alone, or "*", takes that host.
#include "FuzzCheck.h"
#include "config/ProxyServer.h"
#include "formats/ProxyUrl.h"
#include "net/HttpUrl.h"
#include "net/ProxyBypass.h"
#include "net/ProxyRules.h"

namespace {

// Letters, digits, dots, dashes and colons, an alphanumeric at each end: a host that either
// list, written as the host alone, takes.
bool IsPlainHost(const std::string& host) {
    const auto alnum = [](char c) {
        return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
    };
    if (host.empty() || !alnum(host.front()) || !alnum(host.back()))
        return false;
    for (char c : host)
        if (!alnum(c) && c != '.' && c != '-' && c != ':')
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = InputText(data, size);
    const size_t first = input.find('\n');
    const size_t second = first == std::string::npos ? first : input.find('\n', first + 1);
    const std::string server = input.substr(0, first);
    const std::string list =
        first == std::string::npos ? "" : input.substr(first + 1, second - first - 1);
    const std::string url = second == std::string::npos ? "" : input.substr(second + 1);

    std::string host = "untouched";
    int32_t port = -1;
    zyn::ParseProxyServer(0, server, host, port);
    Require(host == "untouched" && port == -1);
    zyn::ParseProxyServer(1, server, host, port);

    // The environment holds C strings: a URL ends at its first zero byte.
    const std::string proxyUrl = server.substr(0, server.find('\0'));
    const std::string hostPort = formats::ProxyServerFromUrl(proxyUrl);
    if (!hostPort.empty()) {
        zyn::SplitProxyServer(hostPort, host, port);
        Require(!host.empty());
    }

    sys::ProxySetting registry, environment;
    registry.enabled = 1;
    registry.server = server;
    registry.proxyOverride = list;
    environment.fromEnvironment = true;
    environment.httpProxy = environment.httpsProxy = proxyUrl;
    environment.noProxy = list.substr(0, list.find('\0'));
    zyn::HttpUrl parts;
    if (zyn::SplitHttpUrl(url, parts) == zyn::UrlSplit::Ok) {
        for (const sys::ProxySetting& setting : {registry, environment}) {
            const zyn::ProxyRules rules = zyn::ReadProxyRules(setting);
            const zyn::ProxyEndpoint* proxy = rules.For(parts);
            Require(!proxy || !proxy->host.empty());
        }
    }
    Require(!zyn::IsInNoProxy(list, ""));
    if (!url.empty())
        Require(zyn::IsInNoProxy("*", url) && zyn::IsInProxyOverride("*", url));
    if (IsPlainHost(url))
        Require(zyn::IsInNoProxy(url, url) && zyn::IsInProxyOverride(url, url));
    return 0;
}
