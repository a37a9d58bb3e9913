// The two GET requests of a launch: the system state and a component.
#include "net/HttpRequest.h"

namespace zyn {

namespace {

std::string BuildGet(const HttpUrl& url, const RequestContext& context,
                     const std::string& extraHeaders) {
    const std::string target =
        context.viaProxy ? url.scheme + "://" + url.authority + url.path : url.path;
    // Some content networks refuse a request that names no user agent.
    std::string request =
        "GET " + target + " HTTP/1.1\r\nHost: " + url.authority + "\r\nUser-Agent: zynLaunch" +
        (context.launcherVersion.empty() ? "" : "/" + context.launcherVersion) + "\r\n";
    if (context.viaProxy && !context.proxyAuthorization.empty())
        request += "Proxy-Authorization: " + context.proxyAuthorization + "\r\n";
    return request + extraHeaders + "Accept-Encoding: identity\r\nConnection: close\r\n\r\n";
}

} // namespace

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
