// Readiness to notifications in the order Windows Sockets gives them: OnConnect then one
// OnSend, OnSend again only after a send would block, OnReceive re-posted after a read, OnClose
// after all data, errno mapped to SOCK_ERR_... Leaves out: out-of-band data.
#include "framework/posix/SocketDispatcher.h"

#include "framework/posix/EventLoop.h"

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

int SocketDispatcher::ErrorCode(int errnoValue) {
    switch (errnoValue) {
    case 0:
        return 0;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINPROGRESS:
        return SOCK_ERR_WOULDBLOCK;
    case EMSGSIZE:
        return SOCK_ERR_MSGSIZE;
    case EADDRINUSE:
        return SOCK_ERR_ADDRINUSE;
    case ENETUNREACH:
        return SOCK_ERR_NETUNREACH;
    case ECONNABORTED:
    case EPIPE: // the connection is gone for sending, as Windows' WSAECONNABORTED
        return SOCK_ERR_CONNABORTED;
    case ECONNRESET:
        return SOCK_ERR_CONNRESET;
    case ENOTCONN:
        return SOCK_ERR_NOTCONN;
    case ETIMEDOUT:
        return SOCK_ERR_TIMEDOUT;
    case ECONNREFUSED:
        return SOCK_ERR_CONNREFUSED;
    case EHOSTUNREACH:
        return SOCK_ERR_HOSTUNREACH;
    default:
        return SOCK_ERR_OTHER;
    }
}

std::map<int, SocketDispatcher::State>& SocketDispatcher::Registry() {
    static std::map<int, State> registry;
    return registry;
}

void SocketDispatcher::Register(CAsyncSocket& socket, int fd, int type, long events) {
    SetHandle(socket, fd);
    static uint64_t nextSerial = 1;
    State state{&socket, type, events, nextSerial++};
    // Windows reports a datagram socket writable as soon as it exists.
    state.wantWrite = type == SOCK_DGRAM_TYPE;
    Registry()[fd] = std::move(state);
    EventLoop::Instance().Watch(
        fd, [fd] { return Wanted(fd); }, [fd](short revents) { Ready(fd, revents); });
}

void SocketDispatcher::Unregister(int fd) {
    Registry().erase(fd);
    EventLoop::Instance().Unwatch(fd);
}

SocketDispatcher::State* SocketDispatcher::Find(int fd) {
    auto it = Registry().find(fd);
    return it == Registry().end() ? nullptr : &it->second;
}

SocketDispatcher::State* SocketDispatcher::Find(int fd, uint64_t serial) {
    State* s = Find(fd);
    return s && s->serial == serial ? s : nullptr;
}

short SocketDispatcher::Wanted(int fd) {
    State* s = Find(fd);
    if (!s || s->failed)
        return 0;
    // A stream that is neither listening nor connected has nothing to report, though poll()
    // calls it hung up.
    if (s->type == SOCK_STREAM_TYPE && !s->listening && !s->connecting && !s->connected)
        return 0;
    short want = 0;
    if (s->connecting || s->wantWrite)
        want |= POLLOUT;
    if (!s->connecting && s->readArmed && !s->closed)
        want |= POLLIN;
    return want;
}

void SocketDispatcher::Deliver(int fd, uint64_t serial, int event, int error) {
    // Looked up again for every notification: an earlier handler may have destroyed it, and
    // a socket made since may have been given the same descriptor.
    State* s = Find(fd, serial);
    if (!s || !(s->events & event))
        return;
    s->socket->Notify(event, error);
}

int SocketDispatcher::PendingError(int fd) {
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
        return errno;
    return error;
}

void SocketDispatcher::Ready(int fd, short revents) {
    State* s = Find(fd);
    if (!s)
        return;
    const uint64_t serial = s->serial;
    if (s->connecting) {
        if (!(revents & (POLLOUT | POLLERR | POLLHUP)))
            return;
        int error = s->connectError ? s->connectError : ErrorCode(PendingError(fd));
        s->connecting = false;
        if (error != 0) {
            s->failed = true;
        } else {
            s->connected = true;
            s->wantWrite = true;
        }
        Deliver(fd, serial, FD_CONNECT_EVENT, error);
        s = Find(fd, serial);
        if (!s || error != 0)
            return;
    }
    if ((revents & POLLOUT) && s->wantWrite) {
        s->wantWrite = false;
        Deliver(fd, serial, FD_WRITE_EVENT, 0);
        s = Find(fd, serial);
        if (!s)
            return;
    }
    if (!(revents & (POLLIN | POLLERR | POLLHUP)) || !s->readArmed || s->closed)
        return;
    if (s->listening) {
        s->readArmed = false;
        Deliver(fd, serial, FD_ACCEPT_EVENT, 0);
        return;
    }
    if (s->type == SOCK_DGRAM_TYPE) {
        if (revents & POLLERR)
            PendingError(fd); // an ICMP report on a datagram socket: read it so poll calms down
        if (revents & POLLIN) {
            s->readArmed = false;
            Deliver(fd, serial, FD_READ_EVENT, 0);
        }
        return;
    }
    int available = 0;
    if (ioctl(fd, FIONREAD, &available) == 0 && available > 0) {
        s->readArmed = false;
        Deliver(fd, serial, FD_READ_EVENT, 0);
        return;
    }
    // Nothing left to read: the stream has ended, cleanly or by a reset.
    char probe;
    ssize_t n = recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        s->readArmed = false;
        Deliver(fd, serial, FD_READ_EVENT, 0);
        return;
    }
    // A Receive may have taken the reset already, leaving poll() a plain end of stream.
    int error = s->hardError;
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return;
        error = s->hardError = ErrorCode(errno); // a later Receive reads it, not an end
    }
    s->closed = true;
    Deliver(fd, serial, FD_CLOSE_EVENT, error);
}
