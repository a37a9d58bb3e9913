// The two GET requests of a launch, the system state and a component, and the CONNECT that
// opens a tunnel through a proxy for an https:// one.
#pragma once

#include "net/HttpUrl.h"

#include <cstdint>
#include <string>

namespace zyn {

// What every request carries besides its URL.
struct RequestContext {
    // To a forward proxy in the clear. A forward proxy routes only an absolute URL in the
    // request line, while origin servers expect the path alone.
    bool viaProxy = false;
    std::string proxyAuthorization; // that proxy's Proxy-Authorization value, or none
    std::string launcherVersion;    // the launcher's own, as built: User-Agent names it
};

// "Connection: close" keeps an HTTP/1.1 peer from holding the connection open after its reply.
// Both ask for the bytes as they are stored, uncompressed.
std::string BuildStateRequest(const HttpUrl& url, const RequestContext& context);
// From `resumeFrom` on, when it is not 0: the bytes before it are already there. With a
// `validator`, only if the file is still the one it names: otherwise the server sends it whole.
std::string BuildDownloadRequest(const HttpUrl& url, const RequestContext& context,
                                 uint64_t resumeFrom = 0, const std::string& validator = "");

// Asks a proxy for a tunnel to `url`'s host and port, inside which TLS and the request then go
// to the server itself; `proxyAuthorization` is that proxy's Proxy-Authorization value, or none.
std::string BuildConnectRequest(const HttpUrl& url, const std::string& proxyAuthorization,
                                const std::string& launcherVersion);

} // namespace zyn
