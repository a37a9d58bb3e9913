// The Windows notifier behind CAsyncSocket: the registry of live sockets and raced attempts by
// handle, and the hidden window that their WSAAsyncSelect messages, the loop's alarms and the
// workers' results arrive at.
#pragma once

#include "framework/AsyncSocket.h"
#include "framework/win32/WinApi.h"

#include <map>

class Win32Connector;

class SocketDispatcher {
  public:
    // The SOCK_ERR_... code for a Windows Sockets error.
    static int ErrorCode(int wsaError);
    static bool Attach(CAsyncSocket& socket, SOCKET handle, int type, long events);
    static void Detach(CAsyncSocket& socket);
    // An attempt of `race` for `socket`: its notifications go to the race until it is adopted.
    static bool AttachAttempt(CAsyncSocket& socket, SOCKET handle, Win32Connector& race,
                              size_t attempt);
    static void DetachAttempt(SOCKET handle);
    // The attempt's connection becomes the socket's, in place of the handle Create gave it;
    // the socket's events.
    static long Adopt(CAsyncSocket& socket, SOCKET handle);
    static CAsyncSocket* Find(SocketHandle handle);
    static bool AnyAttached() { return !Registry().empty(); }
    // Reports `error` as the socket's FD_CONNECT, as Windows Sockets would have.
    static void PostConnectFailure(const CAsyncSocket& socket, int error);
    static void Notify(CAsyncSocket& socket, int event, int error) { socket.Notify(event, error); }
    static HWND Window();

  private:
    struct Entry {
        CAsyncSocket* socket;
        UINT message;
        int type;
        long events;
        bool closed; // OnClose delivered: read notices that straggle in after it are dropped
        Win32Connector* race = nullptr; // set for an attempt not yet adopted
        size_t attempt = 0;
    };
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static Entry* Live(SocketHandle handle, UINT message);
    static void Deliver(SocketHandle handle, UINT message, int event, int error);
    static std::map<SocketHandle, Entry>& Registry();
    static UINT NextMessage();
};
