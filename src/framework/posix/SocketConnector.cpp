// Attempts of a raced connect over non-blocking BSD sockets, both families; the winner dup'ed
// onto the socket's own descriptor, so that its handle and registration stay what they were.
#include "framework/posix/SocketConnector.h"

#include "formats/IpAddress.h"
#include "framework/LoopServices.h"
#include "framework/posix/EventLoop.h"
#include "framework/posix/SocketDispatcher.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

bool ToSocketAddress(const std::string& literal, unsigned port, sockaddr_storage& address,
                     socklen_t& length) {
    address = sockaddr_storage{};
    formats::Ipv4Bytes v4;
    formats::Ipv6Bytes v6;
    if (formats::ParseIpv4(literal, v4)) {
        auto& in = reinterpret_cast<sockaddr_in&>(address);
        in.sin_family = AF_INET;
        in.sin_port = htons(static_cast<uint16_t>(port));
        std::memcpy(&in.sin_addr, v4.data(), v4.size());
        length = sizeof in;
        return true;
    }
    if (formats::ParseIpv6(literal, v6)) {
        auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(static_cast<uint16_t>(port));
        std::memcpy(&in6.sin6_addr, v6.data(), v6.size());
        length = sizeof in6;
        return true;
    }
    return false;
}

std::vector<std::string> sys::LookUpAddresses(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::vector<std::string> addresses;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0)
        return addresses;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void* bytes =
            a->ai_family == AF_INET6
                ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr)
                : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr);
        if ((a->ai_family == AF_INET || a->ai_family == AF_INET6) &&
            inet_ntop(a->ai_family, bytes, text, sizeof text))
            addresses.push_back(text);
    }
    freeaddrinfo(found);
    return addresses;
}

SocketConnector::~SocketConnector() {
    while (!m_attempts.empty())
        CloseAttempt(m_attempts.begin()->first);
}

int SocketConnector::OpenAttempt(size_t attempt, const std::string& address, unsigned port) {
    sockaddr_storage remote;
    socklen_t length;
    if (!ToSocketAddress(address, port, remote, length))
        return SOCK_ERR_OTHER;
    const int fd = socket(remote.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return SocketDispatcher::ErrorCode(errno);
    if (connect(fd, reinterpret_cast<sockaddr*>(&remote), length) != 0 && errno != EINPROGRESS) {
        const int error = errno;
        close(fd);
        return SocketDispatcher::ErrorCode(error);
    }
    m_attempts[attempt] = fd;
    EventLoop::Instance().Watch(
        fd, [] { return short(POLLOUT); }, [this, attempt](short) { Ended(attempt); });
    return 0;
}

void SocketConnector::Ended(size_t attempt) {
    const int error =
        SocketDispatcher::ErrorCode(SocketDispatcher::PendingError(m_attempts[attempt]));
    if (error != 0)
        CloseAttempt(attempt);
    else
        EventLoop::Instance().Unwatch(m_attempts[attempt]);
    AttemptEnded(attempt, error);
}

void SocketConnector::CloseAttempt(size_t attempt) {
    const int fd = m_attempts[attempt];
    EventLoop::Instance().Unwatch(fd);
    close(fd);
    m_attempts.erase(attempt);
}

void SocketConnector::Finish(std::optional<size_t> winner, int error) {
    if (winner) {
        const int fd = m_attempts[*winner];
        m_attempts.erase(*winner);
        EventLoop::Instance().Unwatch(fd);
        // The socket's descriptor becomes the winner's connection: callers keep their handle.
        if (dup3(fd, m_fd, O_CLOEXEC) < 0)
            error = SocketDispatcher::ErrorCode(errno);
        close(fd);
    }
    while (!m_attempts.empty())
        CloseAttempt(m_attempts.begin()->first);
    // The poll of the socket's own descriptor reports the outcome, as for any connect.
    if (SocketDispatcher::State* s = SocketDispatcher::Find(m_fd, m_serial)) {
        s->connecting = true;
        s->connectError = error;
    }
}
