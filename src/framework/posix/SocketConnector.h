// The POSIX side of a raced connect: attempts as non-blocking sockets on the loop, the winner
// moved onto the socket's own descriptor.
#pragma once

#include "framework/Connector.h"

#include <map>
#include <string>
#include <sys/socket.h>

class SocketConnector final : public Connector {
  public:
    // For the stream socket registered as `serial` on `fd`.
    SocketConnector(int fd, uint64_t serial) : m_fd(fd), m_serial(serial) {}
    ~SocketConnector() override;

  private:
    int OpenAttempt(size_t attempt, const std::string& address, unsigned port) override;
    void Finish(std::optional<size_t> winner, int error) override;
    void Ended(size_t attempt);
    void CloseAttempt(size_t attempt);

    const int m_fd;
    const uint64_t m_serial;
    std::map<size_t, int> m_attempts; // descriptors of the attempts under way
};
