// CAsyncSocket over Windows Sockets: TCP of both families, a connect by name raced by
// Win32Connector, UDP over IPv4, notifications from SocketDispatcher's hidden window, a connect
// that fails at once reported through OnConnect. Leaves out: socket options, datagrams over
// IPv6; under Wine 8 a reset arrives as a clean close.
#include "framework/AsyncSocket.h"

#include "framework/SocketAddress.h"
#include "framework/SocketError.h"
#include "framework/win32/Win32Connector.h"
#include "framework/win32/Win32SocketDispatcher.h"

#include <cstring>
#include <mswsock.h>

namespace {

// The last Windows Sockets error, recorded; for calls that return a count or a flag.
int FailedCount() {
    return FailCount(SocketDispatcher::ErrorCode(WSAGetLastError()));
}

bool FailedCall() {
    return FailCall(SocketDispatcher::ErrorCode(WSAGetLastError()));
}

SOCKET Native(SocketHandle handle) {
    return static_cast<SOCKET>(handle);
}

} // namespace

CAsyncSocket::~CAsyncSocket() {
    Close();
}

CAsyncSocket* CAsyncSocket::FromHandle(SocketHandle handle) {
    return SocketDispatcher::Find(handle);
}

bool CAsyncSocket::AnyOpen() {
    return SocketDispatcher::AnyAttached();
}

bool CAsyncSocket::Create(unsigned localPort, int type, long events,
                          const std::string& localAddress) {
    sockaddr_storage local;
    const int length =
        sys::ToSocketAddress(localAddress.empty() ? "0.0.0.0" : localAddress, localPort, local);
    if (m_hSocket != INVALID_SOCKET_HANDLE || localPort > 65535 || length == 0)
        return FailCall(SOCK_ERR_OTHER);
    const int kind = type == SOCK_DGRAM_TYPE ? SOCK_DGRAM : SOCK_STREAM;
    SOCKET handle = socket(local.ss_family, kind, 0);
    if (handle == INVALID_SOCKET)
        return FailedCall();
    if (kind == SOCK_DGRAM) {
        // An ICMP "port unreachable" for an earlier datagram would otherwise fail the next
        // recvfrom; a datagram socket here serves many peers and must not hear of one's absence.
        BOOL report = FALSE;
        DWORD unused = 0;
        WSAIoctl(handle, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &unused, nullptr,
                 nullptr);
    }
    if (!SocketDispatcher::Attach(*this, handle, kind, events)) {
        const bool failed = FailedCall();
        closesocket(handle);
        m_hSocket = INVALID_SOCKET_HANDLE;
        return failed;
    }
    // Never SO_REUSEADDR: a port that someone holds must make this fail.
    if (bind(handle, reinterpret_cast<sockaddr*>(&local), length) == SOCKET_ERROR) {
        const bool failed = FailedCall();
        Close();
        return failed;
    }
    return true;
}

void CAsyncSocket::Close() {
    if (m_hSocket == INVALID_SOCKET_HANDLE)
        return;
    SocketDispatcher::Detach(*this);
    closesocket(Native(m_hSocket));
    m_hSocket = INVALID_SOCKET_HANDLE;
}

bool CAsyncSocket::Listen(int backlog) {
    return listen(Native(m_hSocket), backlog) != SOCKET_ERROR || FailedCall();
}

bool CAsyncSocket::Accept(CAsyncSocket& connected) {
    if (connected.m_hSocket != INVALID_SOCKET_HANDLE)
        return FailCall(SOCK_ERR_OTHER);
    SOCKET handle = accept(Native(m_hSocket), nullptr, nullptr);
    if (handle == INVALID_SOCKET)
        return FailedCall();
    if (!SocketDispatcher::Attach(connected, handle, SOCK_STREAM, FD_ALL_EVENTS)) {
        const bool failed = FailedCall();
        closesocket(handle);
        connected.m_hSocket = INVALID_SOCKET_HANDLE;
        return failed;
    }
    return true;
}

bool CAsyncSocket::Connect(const std::string& host, unsigned port) {
    if (m_hSocket == INVALID_SOCKET_HANDLE || port > 65535)
        return FailCall(SOCK_ERR_OTHER);
    sockaddr_storage own = {}, remote;
    int ownLength = sizeof own;
    const int length = sys::ToSocketAddress(host, port, remote);
    const bool literal = length != 0;
    if (getsockname(Native(m_hSocket), reinterpret_cast<sockaddr*>(&own), &ownLength) ==
        SOCKET_ERROR)
        return FailedCall();
    if (!literal || remote.ss_family != own.ss_family) {
        // A name, or the other family: attempts on sockets of their own, raced; a datagram
        // socket has only its own.
        int type = 0, typeLength = sizeof type;
        getsockopt(Native(m_hSocket), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type),
                   &typeLength);
        if (type != SOCK_STREAM)
            return FailCall(SOCK_ERR_HOST_NOT_FOUND);
        sockaddr_storage peer;
        int peerLength = sizeof peer;
        const Win32Connector* racing = Win32Connector::Find(*this);
        if ((racing && !racing->IsOver()) ||
            getpeername(Native(m_hSocket), reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0)
            return FailCall(SOCK_ERR_OTHER);
        Win32Connector::For(*this).Start(host, port);
        return true;
    }
    if (connect(Native(m_hSocket), reinterpret_cast<sockaddr*>(&remote), length) == 0)
        return true;
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK)
        return true;
    if (error == WSAEISCONN || error == WSAEALREADY || error == WSAEINVAL)
        return FailCall(SocketDispatcher::ErrorCode(error));
    // Failed at once (no route, say): callers hear of it as of a connect that fails later.
    SocketDispatcher::PostConnectFailure(*this, error);
    return true;
}

int CAsyncSocket::Receive(void* buffer, int capacity, int flags) {
    int count = recv(Native(m_hSocket), static_cast<char*>(buffer), capacity, flags);
    return count == SOCKET_ERROR ? FailedCount() : count;
}

int CAsyncSocket::Send(const void* data, int length, int flags) {
    int count = send(Native(m_hSocket), static_cast<const char*>(data), length, flags);
    return count == SOCKET_ERROR ? FailedCount() : count;
}

int CAsyncSocket::SendTo(const void* data, int length, unsigned port, const std::string& host,
                         int flags) {
    sockaddr_in remote;
    if (port > 65535 || !sys::ToDatagramPeer(host, port, remote))
        return FailCount(SOCK_ERR_HOST_NOT_FOUND);
    int count = sendto(Native(m_hSocket), static_cast<const char*>(data), length, flags,
                       reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    return count == SOCKET_ERROR ? FailedCount() : count;
}

int CAsyncSocket::ReceiveFrom(void* buffer, int capacity, std::string& address, unsigned& port,
                              int flags) {
    sockaddr_in remote = {};
    int size = sizeof remote;
    // An oversize datagram fails with WSAEMSGSIZE and is gone, as the interface promises.
    int count = recvfrom(Native(m_hSocket), static_cast<char*>(buffer), capacity, flags,
                         reinterpret_cast<sockaddr*>(&remote), &size);
    if (count == SOCKET_ERROR)
        return FailedCount();
    address = inet_ntoa(remote.sin_addr);
    port = ntohs(remote.sin_port);
    return count;
}

unsigned long CAsyncSocket::BytesAvailable() const {
    u_long pending = 0;
    if (m_hSocket == INVALID_SOCKET_HANDLE ||
        ioctlsocket(Native(m_hSocket), FIONREAD, &pending) == SOCKET_ERROR)
        return 0;
    return pending;
}

unsigned CAsyncSocket::GetLocalPort() const {
    sockaddr_storage local = {};
    int size = sizeof local;
    if (m_hSocket == INVALID_SOCKET_HANDLE ||
        getsockname(Native(m_hSocket), reinterpret_cast<sockaddr*>(&local), &size) == SOCKET_ERROR)
        return 0;
    return ntohs(local.ss_family == AF_INET6
                     ? reinterpret_cast<const sockaddr_in6&>(local).sin6_port
                     : reinterpret_cast<const sockaddr_in&>(local).sin_port);
}

bool AfxPumpEvents(int timeoutMs, const std::function<bool()>& stop) {
    // Input already in the queue counts too, not only what arrived since the last look.
    MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs < 0 ? INFINITE : DWORD(timeoutMs),
                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    bool delivered = false;
    MSG message;
    while (!(stop && stop()) && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
        delivered = true;
    }
    return delivered;
}
