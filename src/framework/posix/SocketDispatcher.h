// The POSIX notifier behind CAsyncSocket: the registry of live sockets by handle and the
// translation of poll() readiness into the Windows-style On... notifications.
#pragma once

#include "framework/AsyncSocket.h"
#include "framework/Connector.h"

#include <cstdint>
#include <map>
#include <memory>

class SocketDispatcher {
  public:
    struct State {
        CAsyncSocket* socket;
        int type;
        long events;
        uint64_t serial = 0; // tells a socket from a later one that reuses its descriptor
        bool listening = false;
        bool connecting = false;
        bool connected = false; // a stream with a peer: accepted, or its connect succeeded
        bool readArmed = true;  // re-armed by each Receive/ReceiveFrom/Accept, as Windows does
        bool wantWrite = false; // one OnSend owed
        bool closed = false;    // OnClose delivered: no more read-side events, OnSend still
        bool failed = false;    // the connect failed: no more events at all
        int connectError = 0;   // a connect that failed at once, reported as if it failed later
        int hardError = 0;      // a reset or the like, taken by a Receive or Send: OnClose's error
        std::unique_ptr<Connector> connector =
            nullptr; // of the last connect by name or of the other family
    };

    // The SOCK_ERR_... code for an errno value.
    static int ErrorCode(int errnoValue);
    // The error a socket holds (SO_ERROR), as errno numbers it.
    static int PendingError(int fd);

    static void Register(CAsyncSocket& socket, int fd, int type, long events);
    static void Unregister(int fd);
    static State* Find(int fd);
    static size_t Count() { return Registry().size(); }
    // The socket registered as `serial` on `fd`, if it is still there.
    static State* Find(int fd, uint64_t serial);
    static int Fd(const CAsyncSocket& socket) { return static_cast<int>(socket.m_hSocket); }
    static void SetHandle(CAsyncSocket& socket, int fd) {
        socket.m_hSocket = fd < 0 ? INVALID_SOCKET_HANDLE : static_cast<SocketHandle>(fd);
    }

  private:
    static short Wanted(int fd);
    static void Ready(int fd, short revents);
    static void Deliver(int fd, uint64_t serial, int event, int error);
    static std::map<int, State>& Registry();
};
