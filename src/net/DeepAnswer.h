// The deep resolution exchange: the probe a launch sends, and the answers it takes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zyn {

inline constexpr uint16_t kDeepResolverPort = 34523;
inline constexpr std::string_view kDeepProbe = "ZYN_DEEP_RESOLVER_DISCOVER;";

struct DeepAnswer {
    std::string ip; // field 2, as sent
    int32_t port;   // field 3 as an integer
};

// An answer is ';'-ended fields: the marker, an address and a port; text after the last ';'
// is no field. Its address and port reach the engine's command line, so an answer whose
// address is neither empty nor a dotted IPv4 address, or whose port lies outside 0..65535, is
// refused whole, like one without the marker.
bool ParseDeepAnswer(std::string_view datagram, DeepAnswer& answer);

} // namespace zyn
