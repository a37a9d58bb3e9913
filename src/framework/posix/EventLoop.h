// The one poll() loop of the POSIX backend: file descriptors with callbacks, the loop's
// monotonic time, and the self-pipe through which signals reach the loop.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>

class EventLoop {
  public:
    // Which poll() events a watcher wants now (0: leave the descriptor out this round).
    using WantFn = std::function<short()>;
    using ReadyFn = std::function<void(short revents)>;

    static EventLoop& Instance();

    // Watches `fd`; a second Watch of the same fd replaces the first.
    void Watch(int fd, WantFn want, ReadyFn ready);
    void Unwatch(int fd);

    // One round: waits up to `timeoutMs` (-1: no limit) and calls back each ready watcher
    // that is still the one it was when the round began, until `stop` (when given) says so.
    // True when anything was ready.
    bool RunOnce(int timeoutMs, const std::function<bool()>& stop = {});
    // Ends the current round after the callback that is running: what else was ready waits
    // for the next round.
    void StopRound() { m_stopRound = true; }

    // Milliseconds of CLOCK_MONOTONIC as read at the start of the current round.
    uint64_t NowMs() const { return m_nowMs; }
    void UpdateTime();

    // Each of `signals` becomes a call of `handler` with its number, from the loop.
    void CatchSignals(std::initializer_list<int> signals, std::function<void(int)> handler);

  private:
    EventLoop();
    struct Watcher {
        uint64_t generation;
        WantFn want;
        ReadyFn ready;
    };
    std::map<int, Watcher> m_watchers;
    uint64_t m_nextGeneration = 1;
    uint64_t m_nowMs = 0;
    bool m_stopRound = false;
    std::function<void(int)> m_onSignal;
};

// Milliseconds of CLOCK_MONOTONIC read now.
uint64_t MonotonicNowMs();
