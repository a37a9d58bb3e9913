// The order in which a connection tries the addresses that a name resolves to.
#pragma once

#include <string>
#include <vector>

namespace zyn {

// As "Happy Eyeballs" (RFC 8305 section 4) orders them: IPv6 first, then the two families in
// turn, each family's addresses in the order the resolver gave them. Addresses are in text form
// ("::1", "127.0.0.1"); an IPv6 one is told by its ':'.
std::vector<std::string> OrderConnectionAttempts(const std::vector<std::string>& addresses);

} // namespace zyn
