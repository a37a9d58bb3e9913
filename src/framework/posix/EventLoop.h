// The one poll() loop of the POSIX backend: file descriptors with callbacks, one-shot alarms,
// the loop's monotonic time, the self-pipe through which signals reach the loop, and jobs that
// other threads hand to it.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <mutex>
#include <vector>

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

    // Calls `fire` once, in the first round that starts at or after `dueMs` (loop time); a
    // second alarm of the same id replaces the first. A round that fires one counts as ready.
    void SetAlarm(uint64_t id, uint64_t dueMs, std::function<void()> fire);
    void CancelAlarm(uint64_t id) { m_alarms.erase(id); }

    // From any thread: `job` runs on the loop's thread in a coming round, which it wakes.
    void Post(std::function<void()> job);

  private:
    EventLoop();
    // The earliest alarm's wait from now, capping `timeoutMs` (-1: none).
    int CapTimeout(int timeoutMs) const;
    bool FireAlarms();
    void RunPosted();
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
    struct Alarm {
        uint64_t dueMs;
        std::function<void()> fire;
    };
    std::map<uint64_t, Alarm> m_alarms;
    // Shared with the posting threads: the jobs and the pipe that wakes poll().
    std::mutex m_postedLock;
    std::vector<std::function<void()>> m_posted;
    int m_wakePipe[2] = {-1, -1};
};

// Milliseconds of CLOCK_MONOTONIC read now.
uint64_t MonotonicNowMs();
