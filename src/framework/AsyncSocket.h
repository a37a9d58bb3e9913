// Event-driven socket: non-blocking, readiness reported through the virtual On... handlers,
// one notification at a time on the thread that runs the event loop. A handler may delete its
// own object; a notification still queued for a destroyed socket is dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

using SocketHandle = uintptr_t;
constexpr SocketHandle INVALID_SOCKET_HANDLE = ~SocketHandle(0);

enum { SOCK_STREAM_TYPE = 1, SOCK_DGRAM_TYPE = 2 };
// Event mask bits, as Windows Sockets numbers them.
enum {
    FD_READ_EVENT = 0x01,
    FD_WRITE_EVENT = 0x02,
    FD_OOB_EVENT = 0x04,
    FD_ACCEPT_EVENT = 0x08,
    FD_CONNECT_EVENT = 0x10,
    FD_CLOSE_EVENT = 0x20,
    FD_ALL_EVENTS = 0x3F
};

// Error codes, the same on every platform: Windows Sockets numbers. GetLastError() and the error
// passed to every On... handler use only these (0: none); whatever a platform reports that is
// not listed here becomes SOCK_ERR_OTHER.
enum {
    SOCK_ERR_WOULDBLOCK = 10035, // nothing to read, or no room to send, now: not a failure
    SOCK_ERR_MSGSIZE = 10040,    // a datagram larger than the buffer (it is lost)
    SOCK_ERR_ADDRINUSE = 10048,
    SOCK_ERR_NETUNREACH = 10051,
    SOCK_ERR_CONNABORTED = 10053, // the connection has ended and carries no more data
    SOCK_ERR_CONNRESET = 10054,   // the peer reset the connection
    SOCK_ERR_NOTCONN = 10057,
    SOCK_ERR_TIMEDOUT = 10060,
    SOCK_ERR_CONNREFUSED = 10061,
    SOCK_ERR_HOSTUNREACH = 10065,
    SOCK_ERR_OTHER = 10107,
    SOCK_ERR_HOST_NOT_FOUND = 11001
};

// Notifications:
// - OnConnect(error) once per Connect that returned true, also when the connect failed at once
//   or the name did not resolve (SOCK_ERR_HOST_NOT_FOUND).
// - OnSend(0) once the connection is writable, then once after each Send or SendTo that would
//   have blocked; a half-close by the peer does not end them.
// - OnReceive(0) while data is waiting, re-posted only after the program has read; every byte
//   the platform still holds is offered before OnClose. A datagram socket is told of every
//   datagram, empty ones included.
// - OnClose(error) once, at the end of the peer's data: 0 for a clean end, nonzero when the
//   connection failed (a reset), also when a Receive or Send already took that error.
class CAsyncSocket {
  public:
    CAsyncSocket() = default;
    virtual ~CAsyncSocket(); // closes an open socket
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;

    virtual bool Accept(CAsyncSocket& connected);
    virtual void Close();
    // Count received, 0 at the end of a stream, below 0 on error (would-block included: see
    // GetLastError). After a reset, never 0: the reset's error.
    virtual int Receive(void* buffer, int capacity, int flags = 0);
    virtual int Send(const void* data, int length, int flags = 0);

    // The SOCK_ERR_... code of the last call that failed, on any socket of this thread.
    static int GetLastError();

    // Makes the socket and binds it to `localPort` (0: any free port) on `localAddress`, an IPv4
    // or IPv6 literal whose family the socket takes (empty: every IPv4 address). A port that is
    // taken makes it fail; it is never shared.
    bool Create(unsigned localPort = 0, int type = SOCK_STREAM_TYPE, long events = FD_ALL_EVENTS,
                const std::string& localAddress = "");
    bool Listen(int backlog = 5);
    // `host` is an IPv4 or IPv6 literal or a name. A name is looked up off the loop's thread
    // (for 30 s at most) and its addresses are raced: IPv6 first, the next one 250 ms later or
    // as soon as one fails, the first to connect wins and becomes the socket's connection, so
    // that its handle may change. A literal of the socket's other family is raced alone.
    // Returns false only when the socket is not open, is connected or connecting, or is a
    // datagram socket given anything but a literal of its family; otherwise the outcome,
    // failure included, comes as OnConnect.
    bool Connect(const std::string& host, unsigned port);
    // Datagrams stay IPv4: `host` is a dotted address or a name, resolved at once.
    int SendTo(const void* data, int length, unsigned port, const std::string& host, int flags = 0);
    // One datagram; `address` gets the sender as dotted IPv4 text. A datagram larger than
    // the buffer is lost and the call returns an error.
    int ReceiveFrom(void* buffer, int capacity, std::string& address, unsigned& port,
                    int flags = 0);
    // Bytes that can be read now (FIONREAD); 0 when unknown.
    unsigned long BytesAvailable() const;
    // Local port after Create.
    unsigned GetLocalPort() const;
    SocketHandle GetHandle() const { return m_hSocket; }

    // Looks up a live socket by its handle; nullptr once it has been closed or destroyed.
    static CAsyncSocket* FromHandle(SocketHandle handle);
    // Whether any socket is open: only then can a notification still come.
    static bool AnyOpen();
    // Whether a name is being looked up for a connect, whose socket may have gone meanwhile.
    static bool AnyLookupPending();

  protected:
    virtual void OnReceive(int errorCode) { (void)errorCode; }
    virtual void OnSend(int errorCode) { (void)errorCode; }
    virtual void OnOutOfBandData(int errorCode) { (void)errorCode; }
    virtual void OnAccept(int errorCode) { (void)errorCode; }
    virtual void OnConnect(int errorCode) { (void)errorCode; }
    virtual void OnClose(int errorCode) { (void)errorCode; }

  private:
    friend class SocketDispatcher; // each backend's notifier
    // Calls the handler of one FD_..._EVENT.
    void Notify(int event, int error);
    SocketHandle m_hSocket = INVALID_SOCKET_HANDLE;
};

// Waits up to `timeoutMs` (0: only what is ready now) for socket notifications and delivers
// what is ready, together with whatever else the platform's loop carries, until `stop` (when
// given) says so. True when anything was ready.
bool AfxPumpEvents(int timeoutMs, const std::function<bool()>& stop = {});
