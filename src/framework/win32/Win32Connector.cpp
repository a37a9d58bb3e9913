// Attempts of a raced connect over Windows Sockets, both families, each with its own
// WSAAsyncSelect message; the lookup through getaddrinfo on a worker thread.
#include "framework/win32/Win32Connector.h"

#include "formats/IpAddress.h"
#include "framework/LoopServices.h"
#include "framework/win32/Win32SocketDispatcher.h"

#include <cstring>
#include <memory>

namespace {
std::map<const CAsyncSocket*, std::unique_ptr<Win32Connector>>& Connectors() {
    // Never destroyed: what a connector's end touches must outlive a socket left open at exit.
    static auto* connectors = new std::map<const CAsyncSocket*, std::unique_ptr<Win32Connector>>;
    return *connectors;
}
} // namespace

bool ToSocketAddress(const std::string& literal, unsigned port, sockaddr_storage& address,
                     int& length) {
    address = sockaddr_storage{};
    formats::Ipv4Bytes v4;
    formats::Ipv6Bytes v6;
    if (formats::ParseIpv4(literal, v4)) {
        auto& in = reinterpret_cast<sockaddr_in&>(address);
        in.sin_family = AF_INET;
        in.sin_port = htons(static_cast<u_short>(port));
        std::memcpy(&in.sin_addr, v4.data(), v4.size());
        length = sizeof in;
        return true;
    }
    if (formats::ParseIpv6(literal, v6)) {
        auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(static_cast<u_short>(port));
        std::memcpy(&in6.sin6_addr, v6.data(), v6.size());
        length = sizeof in6;
        return true;
    }
    return false;
}

std::vector<std::string> sys::LookUpAddresses(const std::string& host) {
    addrinfo hints = {};
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

Win32Connector& Win32Connector::For(CAsyncSocket& socket) {
    auto& owned = Connectors()[&socket];
    owned = std::make_unique<Win32Connector>(socket);
    return *owned;
}

Win32Connector* Win32Connector::Find(const CAsyncSocket& socket) {
    auto it = Connectors().find(&socket);
    return it == Connectors().end() ? nullptr : it->second.get();
}

void Win32Connector::Drop(const CAsyncSocket& socket) {
    Connectors().erase(&socket);
}

Win32Connector::~Win32Connector() {
    while (!m_attempts.empty())
        CloseAttempt(m_attempts.begin()->first);
}

int Win32Connector::OpenAttempt(size_t attempt, const std::string& address, unsigned port) {
    sockaddr_storage remote;
    int length;
    if (!ToSocketAddress(address, port, remote, length))
        return SOCK_ERR_OTHER;
    const SOCKET handle = socket(remote.ss_family, SOCK_STREAM, 0);
    if (handle == INVALID_SOCKET)
        return SocketDispatcher::ErrorCode(WSAGetLastError());
    if (!SocketDispatcher::AttachAttempt(m_socket, handle, *this, attempt)) {
        const int error = SocketDispatcher::ErrorCode(WSAGetLastError());
        closesocket(handle);
        return error;
    }
    m_attempts[attempt] = handle;
    if (connect(handle, reinterpret_cast<sockaddr*>(&remote), length) == SOCKET_ERROR &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
        const int error = SocketDispatcher::ErrorCode(WSAGetLastError());
        CloseAttempt(attempt);
        return error;
    }
    return 0;
}

void Win32Connector::OnAttemptConnect(size_t attempt, int error) {
    if (error != 0)
        CloseAttempt(attempt);
    AttemptEnded(attempt, error);
}

void Win32Connector::CloseAttempt(size_t attempt) {
    const SOCKET handle = m_attempts[attempt];
    m_attempts.erase(attempt);
    SocketDispatcher::DetachAttempt(handle);
    closesocket(handle);
}

void Win32Connector::Finish(std::optional<size_t> winner, int error) {
    SOCKET won = INVALID_SOCKET;
    if (winner) {
        won = m_attempts[*winner];
        m_attempts.erase(*winner);
    }
    while (!m_attempts.empty())
        CloseAttempt(m_attempts.begin()->first);
    if (won == INVALID_SOCKET) {
        SocketDispatcher::PostConnectFailure(m_socket, error);
        return;
    }
    // Told now, while the winner's FD_WRITE still waits in the queue behind this FD_CONNECT:
    // OnConnect comes before OnSend, as for any connect. The handler may destroy this.
    if (SocketDispatcher::Adopt(m_socket, won) & FD_CONNECT)
        SocketDispatcher::Notify(m_socket, FD_CONNECT, 0);
}
