// Event-driven socket: non-blocking, readiness reported through the virtual On... handlers,
// one notification at a time on the thread that runs the event loop. A handler may delete its
// own object; a notification still queued for a destroyed socket is dropped.
#pragma once

#include <cstdint>
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

class CAsyncSocket {
  public:
    CAsyncSocket() = default;
    virtual ~CAsyncSocket(); // closes an open socket
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;

    virtual bool Accept(CAsyncSocket& connected);
    virtual void Close();
    // Count received, 0 at the end of a stream, below 0 on error (would-block included).
    virtual int Receive(void* buffer, int capacity, int flags = 0);
    virtual int Send(const void* data, int length, int flags = 0);

    // Makes the socket and binds it to `localPort` on all local addresses (0: any free port).
    // A port that is taken makes it fail; it is never shared.
    bool Create(unsigned localPort = 0, int type = SOCK_STREAM_TYPE, long events = FD_ALL_EVENTS);
    bool Listen(int backlog = 5);
    // `host` is a dotted IPv4 address or a name, resolved (synchronously) to its first IPv4
    // address. Returns false at once when resolution fails; otherwise the outcome comes as
    // OnConnect.
    bool Connect(const std::string& host, unsigned port);
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

  protected:
    virtual void OnReceive(int errorCode) { (void)errorCode; }
    virtual void OnSend(int errorCode) { (void)errorCode; }
    virtual void OnOutOfBandData(int errorCode) { (void)errorCode; }
    virtual void OnAccept(int errorCode) { (void)errorCode; }
    virtual void OnConnect(int errorCode) { (void)errorCode; }
    virtual void OnClose(int errorCode) { (void)errorCode; }

  private:
    friend class SocketDispatcher; // each backend's notifier
    SocketHandle m_hSocket = INVALID_SOCKET_HANDLE;
};

// Waits up to `timeoutMs` (0: only what is ready now) for socket notifications and delivers
// them, together with whatever else the platform's loop carries.
void AfxPumpEvents(int timeoutMs);
