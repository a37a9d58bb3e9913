// The Windows side of a raced connect: attempts as sockets of their own, notified through the
// dispatcher's window; the winner's handle becomes the socket's.
#pragma once

#include "framework/AsyncSocket.h"
#include "framework/Connector.h"
#include "framework/win32/WinApi.h"

#include <map>
#include <string>

class Win32Connector final : public Connector {
  public:
    explicit Win32Connector(CAsyncSocket& socket) : m_socket(socket) {}
    ~Win32Connector() override;

    // The socket's connector, new for a connect (replacing an earlier one); dropped with the
    // socket's handle.
    static Win32Connector& For(CAsyncSocket& socket);
    static Win32Connector* Find(const CAsyncSocket& socket);
    static void Drop(const CAsyncSocket& socket);

    // From the dispatcher: the attempt's FD_CONNECT.
    void OnAttemptConnect(size_t attempt, int error);

  private:
    int OpenAttempt(size_t attempt, const std::string& address, unsigned port) override;
    void Finish(std::optional<size_t> winner, int error) override;
    void CloseAttempt(size_t attempt);

    CAsyncSocket& m_socket;
    std::map<size_t, SOCKET> m_attempts; // under way
};
