// CAsyncSocket over Windows Sockets: readiness comes as window messages (WSAAsyncSelect) to a
// hidden message-only window, dispatched by handle. Implements: TCP and UDP, fixed or free
// local ports, name resolution (first IPv4 address), the event pump for code outside a dialog.
// Leaves out: IPv6, socket options, out-of-band sending.
#include "AsyncSocket.h"

#include "WinApi.h"

#include <map>

// Owns the registry of live sockets and the window their notifications arrive at.
class SocketDispatcher {
  public:
    static bool Attach(CAsyncSocket& socket, SOCKET handle, long events);
    static void Detach(CAsyncSocket& socket);
    static CAsyncSocket* Find(SocketHandle handle);

  private:
    struct Entry {
        CAsyncSocket* socket;
        UINT message;
    };
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static HWND Window();
    static void Deliver(CAsyncSocket& socket, int event, int error);
    static std::map<SocketHandle, Entry>& Registry();
    static UINT NextMessage();
};

namespace {
// Each socket gets its own message number from this range, so that a notification still
// queued for a closed socket is told apart from one for a new socket given the same handle.
constexpr UINT kFirstSocketMessage = WM_APP;
constexpr UINT kLastSocketMessage = 0xBFFF;
} // namespace

std::map<SocketHandle, SocketDispatcher::Entry>& SocketDispatcher::Registry() {
    static std::map<SocketHandle, Entry> registry;
    return registry;
}

UINT SocketDispatcher::NextMessage() {
    static UINT next = kFirstSocketMessage;
    UINT message = next;
    next = next == kLastSocketMessage ? kFirstSocketMessage : next + 1;
    return message;
}

HWND SocketDispatcher::Window() {
    static HWND window = [] {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = &SocketDispatcher::WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ZynSocketNotifier";
        RegisterClassA(&windowClass);
        return CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, windowClass.hInstance, nullptr);
    }();
    return window;
}

bool SocketDispatcher::Attach(CAsyncSocket& socket, SOCKET handle, long events) {
    HWND window = Window();
    if (!window)
        return false;
    UINT message = NextMessage();
    socket.m_hSocket = handle;
    Registry()[handle] = {&socket, message};
    // Also makes the socket non-blocking.
    if (WSAAsyncSelect(handle, window, message, events) == SOCKET_ERROR) {
        Detach(socket);
        return false;
    }
    return true;
}

void SocketDispatcher::Detach(CAsyncSocket& socket) {
    auto it = Registry().find(socket.m_hSocket);
    if (it != Registry().end() && it->second.socket == &socket)
        Registry().erase(it);
}

CAsyncSocket* SocketDispatcher::Find(SocketHandle handle) {
    auto it = Registry().find(handle);
    return it == Registry().end() ? nullptr : it->second.socket;
}

LRESULT CALLBACK SocketDispatcher::WindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message < kFirstSocketMessage || message > kLastSocketMessage)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    auto it = Registry().find(static_cast<SocketHandle>(wParam));
    if (it == Registry().end() || it->second.message != message)
        return 0; // the socket is gone
    Deliver(*it->second.socket, WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
    return 0;
}

// The handler may delete the socket: nothing here touches it after the call.
void SocketDispatcher::Deliver(CAsyncSocket& socket, int event, int error) {
    switch (event) {
    case FD_READ: {
        // A read notice can outlive the data it announced (read meanwhile): stay quiet then.
        u_long pending = 0;
        if (ioctlsocket(socket.m_hSocket, FIONREAD, &pending) == SOCKET_ERROR)
            error = WSAGetLastError();
        if (pending != 0 || error != 0)
            socket.OnReceive(error);
        break;
    }
    case FD_WRITE:
        socket.OnSend(error);
        break;
    case FD_OOB:
        socket.OnOutOfBandData(error);
        break;
    case FD_ACCEPT:
        socket.OnAccept(error);
        break;
    case FD_CONNECT:
        socket.OnConnect(error);
        break;
    case FD_CLOSE:
        socket.OnClose(error);
        break;
    }
}

namespace {

bool Resolve(const std::string& host, unsigned port, sockaddr_in& address) {
    address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    unsigned long dotted = inet_addr(host.c_str());
    if (dotted != INADDR_NONE || host == "255.255.255.255") {
        address.sin_addr.s_addr = dotted;
        return true;
    }
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
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

bool CAsyncSocket::Create(unsigned localPort, int type, long events) {
    if (m_hSocket != INVALID_SOCKET_HANDLE)
        return false;
    SOCKET handle = socket(AF_INET, type == SOCK_DGRAM_TYPE ? SOCK_DGRAM : SOCK_STREAM, 0);
    if (handle == INVALID_SOCKET)
        return false;
    if (!SocketDispatcher::Attach(*this, handle, events)) {
        closesocket(handle);
        m_hSocket = INVALID_SOCKET_HANDLE;
        return false;
    }
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<u_short>(localPort));
    // Never SO_REUSEADDR: a port that someone holds must make this fail.
    if (bind(handle, reinterpret_cast<sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        Close();
        return false;
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
    return listen(Native(m_hSocket), backlog) != SOCKET_ERROR;
}

bool CAsyncSocket::Accept(CAsyncSocket& connected) {
    if (connected.m_hSocket != INVALID_SOCKET_HANDLE)
        return false;
    SOCKET handle = accept(Native(m_hSocket), nullptr, nullptr);
    if (handle == INVALID_SOCKET)
        return false;
    if (!SocketDispatcher::Attach(connected, handle, FD_ALL_EVENTS)) {
        closesocket(handle);
        connected.m_hSocket = INVALID_SOCKET_HANDLE;
        return false;
    }
    return true;
}

bool CAsyncSocket::Connect(const std::string& host, unsigned port) {
    sockaddr_in remote;
    if (!Resolve(host, port, remote))
        return false;
    if (connect(Native(m_hSocket), reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0)
        return true;
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

int CAsyncSocket::Receive(void* buffer, int capacity, int flags) {
    int count = recv(Native(m_hSocket), static_cast<char*>(buffer), capacity, flags);
    return count == SOCKET_ERROR ? -1 : count;
}

int CAsyncSocket::Send(const void* data, int length, int flags) {
    int count = send(Native(m_hSocket), static_cast<const char*>(data), length, flags);
    return count == SOCKET_ERROR ? -1 : count;
}

int CAsyncSocket::SendTo(const void* data, int length, unsigned port, const std::string& host,
                         int flags) {
    sockaddr_in remote;
    if (!Resolve(host, port, remote))
        return -1;
    int count = sendto(Native(m_hSocket), static_cast<const char*>(data), length, flags,
                       reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    return count == SOCKET_ERROR ? -1 : count;
}

int CAsyncSocket::ReceiveFrom(void* buffer, int capacity, std::string& address, unsigned& port,
                              int flags) {
    sockaddr_in remote = {};
    int size = sizeof remote;
    // An oversize datagram fails with WSAEMSGSIZE and is gone, as the interface promises.
    int count = recvfrom(Native(m_hSocket), static_cast<char*>(buffer), capacity, flags,
                         reinterpret_cast<sockaddr*>(&remote), &size);
    if (count == SOCKET_ERROR)
        return -1;
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
    sockaddr_in local = {};
    int size = sizeof local;
    if (m_hSocket == INVALID_SOCKET_HANDLE ||
        getsockname(Native(m_hSocket), reinterpret_cast<sockaddr*>(&local), &size) == SOCKET_ERROR)
        return 0;
    return ntohs(local.sin_port);
}

void AfxPumpEvents(int timeoutMs) {
    // Input already in the queue counts too, not only what arrived since the last look.
    MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs < 0 ? INFINITE : DWORD(timeoutMs),
                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
