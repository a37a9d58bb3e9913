// Attempts of a raced connect over non-blocking BSD sockets, both families; the winner dup'ed
// onto the socket's own descriptor, so that its handle and registration stay what they were.
#include "framework/posix/SocketConnector.h"

#include "framework/SocketAddress.h"
#include "framework/posix/EventLoop.h"
#include "framework/posix/SocketDispatcher.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

SocketConnector::~SocketConnector() {
    while (!m_attempts.empty())
        CloseAttempt(m_attempts.begin()->first);
}

int SocketConnector::OpenAttempt(size_t attempt, const std::string& address, unsigned port) {
    sockaddr_storage remote;
    const socklen_t length = sys::ToSocketAddress(address, port, remote);
    if (length == 0)
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
