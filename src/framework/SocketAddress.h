// Socket addresses of IP literals and of names, written once over the calls that BSD sockets and
// Windows Sockets share.
#pragma once

#include <string>

struct sockaddr_in;
struct sockaddr_storage;

namespace sys {

// The address of an IPv4 or IPv6 literal with `port`, and its length; 0 for anything else.
int ToSocketAddress(const std::string& literal, unsigned port, sockaddr_storage& address);

// A datagram's peer: a dotted address as is, else the first IPv4 address of the name.
bool ToDatagramPeer(const std::string& host, unsigned port, sockaddr_in& address);

} // namespace sys
