// Happy Eyeballs (RFC 8305) for one connect, decided without sockets or clocks: the order of a
// name's addresses, when each attempt starts, which one wins and when the connect gives up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sys {

// As RFC 8305 section 4 orders them: IPv6 first, then the two families in turn, each family's
// addresses in the order the resolver gave them. Addresses are in text form ("::1",
// "127.0.0.1"); an IPv6 one is told by its ':'.
std::vector<std::string> OrderConnectionAttempts(const std::vector<std::string>& addresses);

class ConnectRace {
  public:
    // RFC 8305's Connection Attempt Delay: the next address is tried this long after the last
    // one began, unless that one failed sooner.
    static constexpr uint64_t kAttemptDelayMs = 250;
    // A lookup that has not answered by then fails the connect, as a transfer fails that makes
    // no progress for as long.
    static constexpr uint64_t kLookupLimitMs = 30000;

    // What the backend does after each event: begin an attempt, and/or end the connect with
    // the winning attempt or, without one, with `error`.
    struct Step {
        std::optional<size_t> start;
        bool over = false;
        std::optional<size_t> winner;
        int error = 0;
    };

    // A connect that waits, from `nowMs` on, for its name's addresses.
    explicit ConnectRace(uint64_t nowMs) : m_deadline(nowMs + kLookupLimitMs) {}

    // The lookup's answer (none: the name does not resolve).
    Step Resolved(const std::vector<std::string>& addresses, uint64_t nowMs);
    // Attempt `attempt` has connected, or failed with `error` (at once or later).
    Step Connected(size_t attempt);
    Step Failed(size_t attempt, int error, uint64_t nowMs);
    // Time has passed: the lookup may have run out, or the next attempt may be due.
    Step Tick(uint64_t nowMs);

    // When Tick has something to do; nothing while only attempts under way can end the race.
    std::optional<uint64_t> NextDeadline() const;
    const std::string& Address(size_t attempt) const { return m_addresses[attempt]; }
    bool IsOver() const { return m_phase == Phase::Over; }

  private:
    enum class Phase { LookingUp, Racing, Over };
    Step StartNext(uint64_t nowMs);
    Step End(std::optional<size_t> winner, int error);

    Phase m_phase = Phase::LookingUp;
    uint64_t m_deadline;
    std::vector<std::string> m_addresses;
    size_t m_started = 0;
    std::vector<size_t> m_underWay;
    int m_lastError = 0;
};

} // namespace sys
