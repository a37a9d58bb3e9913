// The proxy of the user's internet settings (the registry's ProxyServer), as host and port.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zyn {

// With `enabled` 1, the proxy that `server` names for http:// URLs (FindProxyServer), an empty
// host when it names none; otherwise nothing is set.
void ParseProxyServer(uint32_t enabled, const std::string& server, std::string& host,
                      int32_t& port);

// The proxy that `server` names for URLs of `scheme`, as WinINet reads the setting. A single
// "host:port" serves every scheme (SplitProxyServer). A list (a text with '=', ';' or "://")
// holds entries "[scheme=][scheme://]host[:port]" apart by ';' or blanks: the entry of `scheme`
// counts, else the first one without "scheme=", with port 80 when it gives none. False, with
// nothing set, when no entry serves.
bool FindProxyServer(const std::string& server, std::string_view scheme, std::string& host,
                     int32_t& port);
// "host:port" split at its last ':'; without one the host is empty (no proxy) and the port is
// the value of the whole text. An IPv6 address comes without its brackets.
void SplitProxyServer(const std::string& text, std::string& host, int32_t& port);

} // namespace zyn
