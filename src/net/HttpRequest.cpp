// The two GET requests of a launch: the system state and a component.
#include "net/HttpRequest.h"

namespace zyn {

namespace {

std::string BuildGet(const HttpUrl& url, bool viaProxy, const std::string& extraHeaders) {
    const std::string target = viaProxy ? "http://" + url.authority + url.path : url.path;
    return "GET " + target + " HTTP/1.1\r\nHost: " + url.authority + "\r\n" + extraHeaders +
           "Accept-Encoding: identity\r\nConnection: close\r\n\r\n";
}

} // namespace

std::string BuildStateRequest(const HttpUrl& url, bool viaProxy) {
    return BuildGet(url, viaProxy, "Accept: text/xml\r\n");
}

std::string BuildDownloadRequest(const HttpUrl& url, bool viaProxy, uint64_t resumeFrom,
                                 const std::string& validator) {
    if (!resumeFrom)
        return BuildGet(url, viaProxy, "");
    return BuildGet(url, viaProxy,
                    "Range: bytes=" + std::to_string(resumeFrom) + "-\r\n" +
                        (validator.empty() ? "" : "If-Range: " + validator + "\r\n"));
}

} // namespace zyn
