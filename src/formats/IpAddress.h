// IP addresses in their text forms, read as inet_pton reads them: the literals of URLs and the
// addresses of proxy bypass lists.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace formats {

using Ipv4Bytes = std::array<uint8_t, 4>;
using Ipv6Bytes = std::array<uint8_t, 16>;

// Four decimal numbers of 0 to 255 apart by dots, none with a leading zero.
bool ParseIpv4(std::string_view text, Ipv4Bytes& bytes);
// Eight groups of one to four hex digits apart by colons; one run of zero groups may be
// written "::", and the last two groups as an IPv4 address. No zone.
bool ParseIpv6(std::string_view text, Ipv6Bytes& bytes);

} // namespace formats
