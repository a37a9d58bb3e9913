// Attempts of a raced connect over Windows Sockets, both families, each with its own
// WSAAsyncSelect message.
#include "framework/win32/Win32Connector.h"

#include "framework/SocketAddress.h"
#include "framework/win32/Win32SocketDispatcher.h"

#include <memory>

namespace {
std::map<const CAsyncSocket*, std::unique_ptr<Win32Connector>>& Connectors() {
    // Never destroyed: what a connector's end touches must outlive a socket left open at exit.
    static auto* connectors = new std::map<const CAsyncSocket*, std::unique_ptr<Win32Connector>>;
    return *connectors;
}
} // namespace

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
    const int length = sys::ToSocketAddress(address, port, remote);
    if (length == 0)
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
