// The lists of hosts that a user's proxy setting reaches without the proxy, read the two ways
// users write them: no_proxy as curl reads it, the registry's ProxyOverride as WinINet does.
#pragma once

#include <string_view>

namespace zyn {

// `host` is what a connection resolves: a name, or an IPv4 or IPv6 address without brackets.

// no_proxy: names, domains and addresses apart by commas (blanks around them allowed). The list
// "*" alone takes every host. A name takes itself and every name under it, with or without a
// leading dot, letter case and a trailing dot aside ("zyn.example" takes "a.zyn.example", not
// "notzyn.example"). An address takes that address, or with "/bits" its network. The URL's port
// plays no part, and an entry with a port takes nothing.
bool IsInNoProxy(std::string_view list, std::string_view host);

// ProxyOverride: entries apart by ';' or blanks, each a pattern in which '*' stands for any
// text, matched whole and without regard to letter case ("*.zyn.example", "10.*"), or
// "<local>", which takes every name without a dot.
bool IsInProxyOverride(std::string_view list, std::string_view host);

} // namespace zyn
