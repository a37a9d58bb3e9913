// A connect that the socket it was asked of cannot make alone: a name looked up on a worker
// thread, or an address of the other family, its attempts raced as ConnectRace says. Shared by
// the backends, which open and watch the attempts and take over the winner's connection.
#pragma once

#include "framework/ConnectRace.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class Connector {
  public:
    Connector(const Connector&) = delete;
    Connector& operator=(const Connector&) = delete;
    virtual ~Connector();

    // Takes an IP literal as it is, or has `host` looked up on a worker thread, and races.
    void Start(const std::string& host, unsigned port);
    bool IsOver() const { return m_race.IsOver(); }

  protected:
    Connector();

    // Begins a non-blocking connect of attempt `attempt` to `address` (an IP literal) and
    // `port`: 0 when under way (its end then comes through AttemptEnded), else the SOCK_ERR_...
    // code that failed it at once.
    virtual int OpenAttempt(size_t attempt, const std::string& address, unsigned port) = 0;
    // The race is over: the backend makes the winner's connection the socket's, closes the other
    // attempts, and has the socket's OnConnect report it, or `error` without a winner. The
    // connector does nothing after this call, which may destroy it.
    virtual void Finish(std::optional<size_t> winner, int error) = 0;

    // From the backend: attempt `attempt` has connected (0) or failed. May end in Finish.
    void AttemptEnded(size_t attempt, int error);

  private:
    void Apply(sys::ConnectRace::Step step);

    const uint64_t m_id; // tells a late lookup or alarm whether its connector still exists
    sys::ConnectRace m_race;
    unsigned m_port = 0;
};
