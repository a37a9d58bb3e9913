// Socket addresses, and the name lookup of LoopServices.h; only the headers differ by system.
#include "framework/SocketAddress.h"

#include "formats/IpAddress.h"
#include "framework/LoopServices.h"

#ifdef _WIN32
#include "framework/win32/WinApi.h"
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstdint>
#include <cstring>

namespace sys {

int ToSocketAddress(const std::string& literal, unsigned port, sockaddr_storage& address) {
    address = sockaddr_storage{};
    formats::Ipv4Bytes v4;
    formats::Ipv6Bytes v6;
    if (formats::ParseIpv4(literal, v4)) {
        auto& in = reinterpret_cast<sockaddr_in&>(address);
        in.sin_family = AF_INET;
        in.sin_port = htons(static_cast<uint16_t>(port));
        std::memcpy(&in.sin_addr, v4.data(), v4.size());
        return sizeof in;
    }
    if (formats::ParseIpv6(literal, v6)) {
        auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(static_cast<uint16_t>(port));
        std::memcpy(&in6.sin6_addr, v6.data(), v6.size());
        return sizeof in6;
    }
    return 0;
}

bool ToDatagramPeer(const std::string& host, unsigned port, sockaddr_in& address) {
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    // A literal is read as on every platform; only a name is asked of the system.
    formats::Ipv4Bytes literal;
    if (formats::ParseIpv4(host, literal)) {
        std::memcpy(&address.sin_addr, literal.data(), literal.size());
        return true;
    }
    if (host.empty())
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

std::vector<std::string> LookUpAddresses(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::vector<std::string> addresses;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0)
        return addresses;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        void* bytes =
            a->ai_family == AF_INET6
                ? static_cast<void*>(&reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr)
                : static_cast<void*>(&reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr);
        if ((a->ai_family == AF_INET || a->ai_family == AF_INET6) &&
            inet_ntop(a->ai_family, bytes, text, sizeof text))
            addresses.push_back(text);
    }
    freeaddrinfo(found);
    return addresses;
}

} // namespace sys
