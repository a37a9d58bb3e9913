// The hidden window of the Windows backend: WSAAsyncSelect messages to the sockets and to raced
// attempts, each socket with a message number of its own; window timers as the loop's alarms;
// the results that workers post. Leaves out: more than one thread of windows.
#include "framework/win32/Win32SocketDispatcher.h"

#include "framework/LoopServices.h"
#include "framework/win32/Win32Connector.h"

#include <memory>

namespace {
// Each socket gets its own message number from this range, so that a notification still
// queued for a closed socket is told apart from one for a new socket given the same handle.
constexpr UINT kFirstSocketMessage = WM_APP;
constexpr UINT kLastSocketMessage = 0xBFFF;
// A worker's result: lParam owns a std::function<void()>.
constexpr UINT kWorkerResultMessage = WM_USER + 1;

unsigned long Pending(SocketHandle handle) {
    u_long pending = 0;
    if (ioctlsocket(static_cast<SOCKET>(handle), FIONREAD, &pending) == SOCKET_ERROR)
        return 0;
    return pending;
}

std::map<UINT_PTR, std::function<void()>>& Alarms() {
    static auto* alarms = new std::map<UINT_PTR, std::function<void()>>;
    return *alarms;
}
} // namespace

int SocketDispatcher::ErrorCode(int wsaError) {
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
    Win32Connector::Drop(socket);
    auto it = Registry().find(socket.m_hSocket);
    if (it != Registry().end() && it->second.socket == &socket && !it->second.race)
        Registry().erase(it);
}

bool SocketDispatcher::AttachAttempt(CAsyncSocket& socket, SOCKET handle, Win32Connector& race,
                                     size_t attempt) {
    auto own = Registry().find(socket.m_hSocket);
    if (own == Registry().end())
        return false;
    const UINT message = NextMessage();
    const long events = own->second.events | FD_CONNECT;
    Registry()[handle] = {&socket, message, SOCK_STREAM, events, false, &race, attempt};
    if (WSAAsyncSelect(handle, Window(), message, events) == SOCKET_ERROR) {
        Registry().erase(handle);
        return false;
    }
    return true;
}

void SocketDispatcher::DetachAttempt(SOCKET handle) {
    auto it = Registry().find(handle);
    if (it != Registry().end() && it->second.race)
        Registry().erase(it);
}

long SocketDispatcher::Adopt(CAsyncSocket& socket, SOCKET handle) {
    auto own = Registry().find(socket.m_hSocket);
    const long events = own == Registry().end() ? FD_ALL_EVENTS : own->second.events;
    if (own != Registry().end())
        Registry().erase(own);
    closesocket(static_cast<SOCKET>(socket.m_hSocket));
    Entry& entry = Registry()[handle];
    entry.race = nullptr;
    entry.events = events;
    socket.m_hSocket = handle;
    return events;
}

CAsyncSocket* SocketDispatcher::Find(SocketHandle handle) {
    auto it = Registry().find(handle);
    return it == Registry().end() || it->second.race ? nullptr : it->second.socket;
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
    if (message == WM_TIMER) {
        KillTimer(hwnd, wParam);
        auto it = Alarms().find(wParam);
        if (it != Alarms().end()) {
            std::function<void()> fire = std::move(it->second);
            Alarms().erase(it);
            fire();
        }
        return 0;
    }
    if (message == kWorkerResultMessage) {
        std::unique_ptr<std::function<void()>> result(
            reinterpret_cast<std::function<void()>*>(lParam));
        (*result)();
        return 0;
    }
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
    if (entry->race) {
        // Until its race adopts it, an attempt has only its connect to tell.
        if (event == FD_CONNECT)
            entry->race->OnAttemptConnect(entry->attempt, error);
        return;
    }
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

namespace sys {

bool RunOnWorker(std::function<std::function<void()>()> job) {
    using Job = std::function<std::function<void()>()>;
    struct Work {
        Job job;
        HWND window; // made by the loop's thread, which its messages reach
    };
    auto work = std::make_unique<Work>(Work{std::move(job), SocketDispatcher::Window()});
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* argument) -> DWORD {
            std::unique_ptr<Work> owned(static_cast<Work*>(argument));
            auto result = std::make_unique<std::function<void()>>(owned->job());
            // A window gone with the program's end takes nothing: the result is dropped.
            if (PostMessageA(owned->window, kWorkerResultMessage, 0,
                             reinterpret_cast<LPARAM>(result.get())))
                result.release();
            return 0;
        },
        work.get(), 0, nullptr);
    if (!thread)
        return false;
    work.release(); // the thread's now
    CloseHandle(thread);
    return true;
}

void SetLoopAlarm(uint64_t id, uint64_t dueMs, std::function<void()> fire) {
    const uint64_t now = LoopNowMs();
    const uint64_t wait = dueMs > now ? dueMs - now : 0;
    Alarms()[static_cast<UINT_PTR>(id)] = std::move(fire);
    SetTimer(SocketDispatcher::Window(), static_cast<UINT_PTR>(id), static_cast<UINT>(wait),
             nullptr);
}

void CancelLoopAlarm(uint64_t id) {
    if (Alarms().erase(static_cast<UINT_PTR>(id)))
        KillTimer(SocketDispatcher::Window(), static_cast<UINT_PTR>(id));
}

uint64_t LoopNowMs() {
    return GetTickCount64();
}

} // namespace sys
