// The two GET requests of a launch: the system state and a component.
#pragma once

#include "net/HttpUrl.h"

#include <cstdint>
#include <string>

namespace zyn {

// A forward proxy routes only an absolute URL in the request line, while origin servers
// expect the path alone; "Connection: close" keeps an HTTP/1.1 peer from holding the
// connection open after its reply. Both ask for the bytes as they are stored, uncompressed.
std::string BuildStateRequest(const HttpUrl& url, bool viaProxy);
// From `resumeFrom` on, when it is not 0: the bytes before it are already there. With a
// `validator`, only if the file is still the one it names: otherwise the server sends it whole.
std::string BuildDownloadRequest(const HttpUrl& url, bool viaProxy, uint64_t resumeFrom = 0,
                                 const std::string& validator = "");

} // namespace zyn
