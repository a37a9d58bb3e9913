// The proxy of the user's internet settings, as host and port.
#pragma once

#include <cstdint>
#include <string>

namespace zyn {

// With `enabled` 1, splits `server` ("host:port") at its last ':'; without a ':' the host is
// empty (no proxy) and the port is the value of the whole text. Otherwise nothing is set.
void ParseProxyServer(uint32_t enabled, const std::string& server, std::string& host,
                      int32_t& port);

} // namespace zyn
