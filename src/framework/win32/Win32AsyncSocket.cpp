// CAsyncSocket over Windows Sockets: WSAAsyncSelect messages to a hidden window, a connect that
// fails at once reported through OnConnect, unread data offered before OnClose. Leaves out:
// IPv6, socket options; under Wine 8 a reset arrives as a clean close.
#include "framework/AsyncSocket.h"

#include "formats/IpAddress.h"

#include "framework/SocketError.h"
#include "framework/win32/WinApi.h"

#include <cstring>
#include <mswsock.h>

#include <map>

// Owns the registry of live sockets and the window their notifications arrive at.
class SocketDispatcher {
  public:
    static bool Attach(CAsyncSocket& socket, SOCKET handle, int type, long events);
    static void Detach(CAsyncSocket& socket);
    static CAsyncSocket* Find(SocketHandle handle);
    static bool AnyAttached() { return !Registry().empty(); }
    // Reports `error` as the socket's FD_CONNECT, as Windows Sockets would have.
    static void PostConnectFailure(const CAsyncSocket& socket, int error);

  private:
    struct Entry {
        CAsyncSocket* socket;
        UINT message;
        int type;
        long events;
        bool closed; // OnClose delivered: read notices that straggle in after it are dropped
    };
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static HWND Window();
    static Entry* Live(SocketHandle handle, UINT message);
    static void Deliver(SocketHandle handle, UINT message, int event, int error);
    static std::map<SocketHandle, Entry>& Registry();
    static UINT NextMessage();
};

namespace {
// Each socket gets its own message number from this range, so that a notification still
// queued for a closed socket is told apart from one for a new socket given the same handle.
constexpr UINT kFirstSocketMessage = WM_APP;
constexpr UINT kLastSocketMessage = 0xBFFF;

int ErrorCode(int wsaError) {
    switch (wsaError) {
    case 0:
        return 0;
    case WSAEWOULDBLOCK:
        return SOCK_ERR_WOULDBLOCK;
    case WSAEMSGSIZE:
        return SOCK_ERR_MSGSIZE;
    case WSAEADDRINUSE:
        return SOCK_ERR_ADDRINUSE;
    case WSAENETUNREACH:
        return SOCK_ERR_NETUNREACH;
    case WSAECONNABORTED:
    case WSAESHUTDOWN:
        return SOCK_ERR_CONNABORTED;
    case WSAECONNRESET:
    case WSAENETRESET:
        return SOCK_ERR_CONNRESET;
    case WSAENOTCONN:
        return SOCK_ERR_NOTCONN;
    case WSAETIMEDOUT:
        return SOCK_ERR_TIMEDOUT;
    case WSAECONNREFUSED:
        return SOCK_ERR_CONNREFUSED;
    case WSAEHOSTUNREACH:
        return SOCK_ERR_HOSTUNREACH;
    case WSAHOST_NOT_FOUND:
    case WSANO_DATA:
        return SOCK_ERR_HOST_NOT_FOUND;
    default:
        return SOCK_ERR_OTHER;
    }
}

// The last Windows Sockets error, recorded; for calls that return a count or a flag.
int FailedCount() {
    return FailCount(ErrorCode(WSAGetLastError()));
}

bool FailedCall() {
    return FailCall(ErrorCode(WSAGetLastError()));
}

unsigned long Pending(SocketHandle handle) {
    u_long pending = 0;
    if (ioctlsocket(static_cast<SOCKET>(handle), FIONREAD, &pending) == SOCKET_ERROR)
        return 0;
    return pending;
}
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

bool SocketDispatcher::Attach(CAsyncSocket& socket, SOCKET handle, int type, long events) {
    HWND window = Window();
    if (!window)
        return false;
    UINT message = NextMessage();
    socket.m_hSocket = handle;
    Registry()[handle] = {&socket, message, type, events, false};
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

SocketDispatcher::Entry* SocketDispatcher::Live(SocketHandle handle, UINT message) {
    auto it = Registry().find(handle);
    return it == Registry().end() || it->second.message != message ? nullptr : &it->second;
}

void SocketDispatcher::PostConnectFailure(const CAsyncSocket& socket, int error) {
    auto it = Registry().find(socket.m_hSocket);
    if (it != Registry().end() && (it->second.events & FD_CONNECT))
        PostMessageA(Window(), it->second.message, socket.m_hSocket,
                     WSAMAKESELECTREPLY(FD_CONNECT, error));
}

LRESULT CALLBACK SocketDispatcher::WindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message < kFirstSocketMessage || message > kLastSocketMessage)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    Deliver(static_cast<SocketHandle>(wParam), message, WSAGETSELECTEVENT(lParam),
            ErrorCode(WSAGETSELECTERROR(lParam)));
    return 0;
}

// A handler may delete its socket: the entry is looked up again after every call.
void SocketDispatcher::Deliver(SocketHandle handle, UINT message, int event, int error) {
    Entry* entry = Live(handle, message);
    if (!entry)
        return; // the socket is gone
    CAsyncSocket& socket = *entry->socket;
    switch (event) {
    case FD_READ:
        // A stream's read notice can outlive the data it announced (read meanwhile): stay quiet
        // then. A datagram socket's never: an empty datagram is data too, and only a
        // recvfrom re-enables the notice.
        if (!entry->closed && (entry->type == SOCK_DGRAM || Pending(handle) != 0 || error != 0))
            socket.Notify(event, error);
        break;
    case FD_WRITE:
    case FD_OOB:
    case FD_ACCEPT:
    case FD_CONNECT:
        socket.Notify(event, error);
        break;
    case FD_CLOSE: {
        // The close may be posted while data is still unread: offer it first, for as long as
        // the handler takes some.
        for (unsigned long pending = Pending(handle); pending != 0;) {
            socket.Notify(FD_READ, 0);
            if (!Live(handle, message))
                return;
            const unsigned long left = Pending(handle);
            pending = left < pending ? left : 0;
        }
        Live(handle, message)->closed = true;
        socket.Notify(event, error);
        break;
    }
    }
}

namespace {

bool Resolve(const std::string& host, unsigned port, sockaddr_in& address) {
    address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    // A literal is read as on every platform; only a name is asked of the system.
    formats::Ipv4Bytes literal;
    if (formats::ParseIpv4(host, literal)) {
        std::memcpy(&address.sin_addr, literal.data(), literal.size());
        return true;
    }
    if (host.empty())
        return false;
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

bool CAsyncSocket::AnyOpen() {
    return SocketDispatcher::AnyAttached();
}

bool CAsyncSocket::Create(unsigned localPort, int type, long events) {
    if (m_hSocket != INVALID_SOCKET_HANDLE || localPort > 65535)
        return FailCall(SOCK_ERR_OTHER);
    const int kind = type == SOCK_DGRAM_TYPE ? SOCK_DGRAM : SOCK_STREAM;
    SOCKET handle = socket(AF_INET, kind, 0);
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
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<u_short>(localPort));
    // Never SO_REUSEADDR: a port that someone holds must make this fail.
    if (bind(handle, reinterpret_cast<sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
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
    if (m_hSocket == INVALID_SOCKET_HANDLE)
        return FailCall(SOCK_ERR_OTHER);
    sockaddr_in remote;
    if (port > 65535 || !Resolve(host, port, remote))
        return FailCall(SOCK_ERR_HOST_NOT_FOUND);
    if (connect(Native(m_hSocket), reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0)
        return true;
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK)
        return true;
    if (error == WSAEISCONN || error == WSAEALREADY || error == WSAEINVAL)
        return FailCall(ErrorCode(error));
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
    if (port > 65535 || !Resolve(host, port, remote))
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
    return m_hSocket == INVALID_SOCKET_HANDLE ? 0 : Pending(m_hSocket);
}

unsigned CAsyncSocket::GetLocalPort() const {
    sockaddr_in local = {};
    int size = sizeof local;
    if (m_hSocket == INVALID_SOCKET_HANDLE ||
        getsockname(Native(m_hSocket), reinterpret_cast<sockaddr*>(&local), &size) == SOCKET_ERROR)
        return 0;
    return ntohs(local.sin_port);
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
