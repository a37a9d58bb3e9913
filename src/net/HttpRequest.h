// The two GET requests of a launch: the system state and a component.
#pragma once

#include "net/HttpUrl.h"

#include <string>

namespace zyn {

// A forward proxy routes only an absolute URL in the request line, while origin servers
// expect the path alone; "Connection: close" keeps an HTTP/1.1 peer from holding the
// connection open after its reply.
std::string BuildStateRequest(const HttpUrl& url, bool viaProxy);
std::string BuildDownloadRequest(const HttpUrl& url, bool viaProxy);

} // namespace zyn
