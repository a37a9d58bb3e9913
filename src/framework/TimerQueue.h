// Window-style timers kept in a portable queue: one timer per id, periodic until killed.
// The backends that have no native window timers (the terminal and the fake) drive it with
// their own clock; the queue itself never reads a clock.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

class TimerQueue {
  public:
    // Arms (or re-arms) timer `id` to fire every `intervalMs`, first at now + intervalMs.
    void Set(unsigned id, uint64_t nowMs, unsigned intervalMs);
    void Kill(unsigned id);
    bool IsArmed(unsigned id) const;
    bool IsEmpty() const { return m_timers.empty(); }
    std::optional<uint64_t> NextDue() const;
    // Takes the earliest timer due at or before `nowMs`, re-arms it for its next period and
    // returns its id; nothing when no timer is due. Ties go to the timer armed first.
    std::optional<unsigned> PopDue(uint64_t nowMs);
    void Clear() { m_timers.clear(); }

  private:
    struct Timer {
        unsigned id;
        uint64_t due;
        unsigned interval;
        uint64_t order;
    };
    std::vector<Timer> m_timers;
    uint64_t m_nextOrder = 0;
};
