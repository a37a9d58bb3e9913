// The requests of a launch: the two GETs and a proxy's CONNECT.
#include "net/HttpRequest.h"

namespace zyn {

namespace {

// Some content networks refuse a request that names no user agent.
std::string UserAgent(const std::string& launcherVersion) {
    return "User-Agent: zynLaunch" + (launcherVersion.empty() ? "" : "/" + launcherVersion) +
           "\r\n";
}

std::string BuildGet(const HttpUrl& url, const RequestContext& context,
                     const std::string& extraHeaders) {
    const std::string target =
        context.viaProxy ? url.scheme + "://" + url.authority + url.path : url.path;
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: " + url.authority + "\r\n" +
                          UserAgent(context.launcherVersion);
    if (context.viaProxy && !context.proxyAuthorization.empty())
        request += "Proxy-Authorization: " + context.proxyAuthorization + "\r\n";
    return request + extraHeaders + "Accept-Encoding: identity\r\nConnection: close\r\n\r\n";
}

} // namespace

std::string BuildConnectRequest(const HttpUrl& url, const std::string& proxyAuthorization,
                                const std::string& launcherVersion) {
    // Always with the port, and an IPv6 address in brackets, as the authority form needs.
    const std::string target =
        (url.host.find(':') == std::string::npos ? url.host : "[" + url.host + "]") + ":" +
        std::to_string(url.port);
    return "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n" +
           UserAgent(launcherVersion) +
           (proxyAuthorization.empty() ? ""
                                       : "Proxy-Authorization: " + proxyAuthorization + "\r\n") +
           "\r\n";
}

std::string BuildStateRequest(const HttpUrl& url, const RequestContext& context) {
    return BuildGet(url, context, "Accept: text/xml\r\n");
}

std::string BuildDownloadRequest(const HttpUrl& url, const RequestContext& context,
                                 uint64_t resumeFrom, const std::string& validator) {
    if (!resumeFrom)
        return BuildGet(url, context, "");
    return BuildGet(url, context,
                    "Range: bytes=" + std::to_string(resumeFrom) + "-\r\n" +
                        (validator.empty() ? "" : "If-Range: " + validator + "\r\n"));
}

} // namespace zyn
