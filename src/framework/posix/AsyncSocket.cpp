// CAsyncSocket over non-blocking BSD sockets: TCP of both families, a connect by name raced by
// SocketConnector, UDP over IPv4, a connect that fails at once reported through OnConnect, no
// SIGPIPE, a reset kept for OnClose; notifications come from SocketDispatcher. Leaves out:
// out-of-band data, socket options, datagrams over IPv6.
#include "framework/AsyncSocket.h"

#include "framework/SocketAddress.h"
#include "framework/SocketError.h"
#include "framework/posix/EventLoop.h"
#include "framework/posix/SocketConnector.h"
#include "framework/posix/SocketDispatcher.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void RearmRead(int fd) {
    if (auto* s = SocketDispatcher::Find(fd))
        s->readArmed = true;
}

// The outcome of a send or receive on `fd`: a would-block asks for the next OnSend (sending),
// a failure of the connection itself is kept for OnClose.
int Transferred(int fd, ssize_t n, bool sending) {
    if (n >= 0)
        return static_cast<int>(n);
    const int error = errno;
    auto* s = SocketDispatcher::Find(fd);
    if (s && (error == EAGAIN || error == EWOULDBLOCK)) {
        if (sending)
            s->wantWrite = true;
    } else if (s && s->connected && error != EINTR && !s->hardError) {
        s->hardError = SocketDispatcher::ErrorCode(error);
    }
    return FailCount(SocketDispatcher::ErrorCode(error));
}

} // namespace

CAsyncSocket::~CAsyncSocket() {
    CAsyncSocket::Close();
}

CAsyncSocket* CAsyncSocket::FromHandle(SocketHandle handle) {
    if (handle == INVALID_SOCKET_HANDLE)
        return nullptr;
    auto* s = SocketDispatcher::Find(static_cast<int>(handle));
    return s ? s->socket : nullptr;
}

bool CAsyncSocket::Create(unsigned localPort, int type, long events,
                          const std::string& localAddress) {
    sockaddr_storage address;
    const socklen_t length =
        sys::ToSocketAddress(localAddress.empty() ? "0.0.0.0" : localAddress, localPort, address);
    if (m_hSocket != INVALID_SOCKET_HANDLE || localPort > 65535 || length == 0)
        return FailCall(SOCK_ERR_OTHER);
    int kind = type == SOCK_DGRAM_TYPE ? SOCK_DGRAM : SOCK_STREAM;
    int fd = socket(address.ss_family, kind | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return FailCall(SocketDispatcher::ErrorCode(errno));
    // No SO_REUSEADDR: a port that another socket holds must make this fail.
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        const int error = errno;
        close(fd);
        return FailCall(SocketDispatcher::ErrorCode(error));
    }
    SocketDispatcher::Register(
        *this, fd, type == SOCK_DGRAM_TYPE ? SOCK_DGRAM_TYPE : SOCK_STREAM_TYPE, events);
    return true;
}

void CAsyncSocket::Close() {
    if (m_hSocket == INVALID_SOCKET_HANDLE)
        return;
    int fd = SocketDispatcher::Fd(*this);
    SocketDispatcher::Unregister(fd);
    close(fd);
    m_hSocket = INVALID_SOCKET_HANDLE;
}

bool CAsyncSocket::Listen(int backlog) {
    auto* s = SocketDispatcher::Find(SocketDispatcher::Fd(*this));
    if (!s)
        return FailCall(SOCK_ERR_OTHER);
    if (listen(SocketDispatcher::Fd(*this), backlog) != 0)
        return FailCall(SocketDispatcher::ErrorCode(errno));
    s->listening = true;
    s->wantWrite = false;
    return true;
}

bool CAsyncSocket::Accept(CAsyncSocket& connected) {
    int fd = SocketDispatcher::Fd(*this);
    auto* s = SocketDispatcher::Find(fd);
    if (!s || connected.m_hSocket != INVALID_SOCKET_HANDLE)
        return FailCall(SOCK_ERR_OTHER);
    RearmRead(fd);
    int client = accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0)
        return FailCall(SocketDispatcher::ErrorCode(errno));
    // The new socket takes over the listener's events and, as on Windows, is writable at once.
    SocketDispatcher::Register(connected, client, SOCK_STREAM_TYPE, s->events);
    SocketDispatcher::Find(client)->wantWrite = true;
    SocketDispatcher::Find(client)->connected = true;
    return true;
}

bool CAsyncSocket::Connect(const std::string& host, unsigned port) {
    int fd = SocketDispatcher::Fd(*this);
    auto* s = SocketDispatcher::Find(fd);
    if (!s || port > 65535)
        return FailCall(SOCK_ERR_OTHER);
    sockaddr_storage own, address;
    socklen_t ownLength = sizeof own;
    const socklen_t length = sys::ToSocketAddress(host, port, address);
    const bool literal = length != 0;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&own), &ownLength) != 0)
        return FailCall(SocketDispatcher::ErrorCode(errno));
    if (!literal || address.ss_family != own.ss_family) {
        // A name, or the other family: attempts on sockets of their own, raced; a datagram
        // socket has only its own.
        if (s->type != SOCK_STREAM_TYPE)
            return FailCall(SOCK_ERR_HOST_NOT_FOUND);
        if (s->connecting || s->connected || (s->connector && !s->connector->IsOver()))
            return FailCall(SOCK_ERR_OTHER);
        s->failed = false;
        s->connectError = 0;
        s->connector = std::make_unique<SocketConnector>(fd, s->serial);
        s->connector->Start(host, port);
        return true;
    }
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 && errno != EINPROGRESS) {
        if (errno == EISCONN || errno == EALREADY)
            return FailCall(SocketDispatcher::ErrorCode(errno));
        // Failed at once (no route, say): callers hear of it as of a connect that fails later.
        s->connectError = SocketDispatcher::ErrorCode(errno);
    }
    // Even a connect that completed at once is reported through OnConnect.
    s->connecting = s->type == SOCK_STREAM_TYPE;
    return true;
}

int CAsyncSocket::Send(const void* data, int length, int flags) {
    int fd = SocketDispatcher::Fd(*this);
    if (m_hSocket == INVALID_SOCKET_HANDLE || length < 0)
        return FailCount(SOCK_ERR_OTHER);
    return Transferred(fd, send(fd, data, static_cast<size_t>(length), flags | MSG_NOSIGNAL), true);
}

int CAsyncSocket::Receive(void* buffer, int capacity, int flags) {
    int fd = SocketDispatcher::Fd(*this);
    if (m_hSocket == INVALID_SOCKET_HANDLE || capacity < 0)
        return FailCount(SOCK_ERR_OTHER);
    RearmRead(fd);
    ssize_t n = recv(fd, buffer, static_cast<size_t>(capacity), flags);
    // Once the reset has been taken, the stream reads as ended: it must not pass for complete.
    if (auto* s = SocketDispatcher::Find(fd); n == 0 && capacity > 0 && s && s->hardError)
        return FailCount(s->hardError);
    return Transferred(fd, n, false);
}

int CAsyncSocket::SendTo(const void* data, int length, unsigned port, const std::string& host,
                         int flags) {
    sockaddr_in address;
    if (m_hSocket == INVALID_SOCKET_HANDLE || length < 0)
        return FailCount(SOCK_ERR_OTHER);
    if (port > 65535 || !sys::ToDatagramPeer(host, port, address))
        return FailCount(SOCK_ERR_HOST_NOT_FOUND);
    const int fd = SocketDispatcher::Fd(*this);
    return Transferred(fd,
                       sendto(fd, data, static_cast<size_t>(length), flags | MSG_NOSIGNAL,
                              reinterpret_cast<sockaddr*>(&address), sizeof address),
                       true);
}

int CAsyncSocket::ReceiveFrom(void* buffer, int capacity, std::string& address, unsigned& port,
                              int flags) {
    int fd = SocketDispatcher::Fd(*this);
    if (m_hSocket == INVALID_SOCKET_HANDLE || capacity < 0)
        return FailCount(SOCK_ERR_OTHER);
    RearmRead(fd);
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    // MSG_TRUNC makes recvfrom return the datagram's real length, so a cut one is noticed.
    ssize_t n = recvfrom(fd, buffer, static_cast<size_t>(capacity), flags | MSG_TRUNC,
                         reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n > capacity)
        return FailCount(SOCK_ERR_MSGSIZE);
    if (n < 0)
        return Transferred(fd, n, false);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    address = text;
    port = ntohs(from.sin_port);
    return static_cast<int>(n);
}

unsigned long CAsyncSocket::BytesAvailable() const {
    int available = 0;
    if (m_hSocket == INVALID_SOCKET_HANDLE ||
        ioctl(static_cast<int>(m_hSocket), FIONREAD, &available) != 0 || available < 0)
        return 0;
    return static_cast<unsigned long>(available);
}

unsigned CAsyncSocket::GetLocalPort() const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (m_hSocket == INVALID_SOCKET_HANDLE ||
        getsockname(static_cast<int>(m_hSocket), reinterpret_cast<sockaddr*>(&address), &length) !=
            0)
        return 0;
    return ntohs(address.ss_family == AF_INET6
                     ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                     : reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

bool CAsyncSocket::AnyOpen() {
    return SocketDispatcher::Count() > 0;
}

bool AfxPumpEvents(int timeoutMs, const std::function<bool()>& stop) {
    return EventLoop::Instance().RunOnce(timeoutMs, stop);
}
