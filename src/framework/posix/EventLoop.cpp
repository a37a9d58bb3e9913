// The one poll() loop of the Linux program: descriptor watching that skips watchers removed in
// the same round, loop time, one-shot alarms, signals through a self-pipe, jobs posted by other
// threads through a wake-up pipe, a failing poll() that waits out its round. Leaves out: window
// timers (the hosts pass their next deadline as the timeout).
#include "framework/posix/EventLoop.h"

#include "framework/LoopServices.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>
#include <vector>

namespace {
int g_signalPipe[2] = {-1, -1};
// How long a round whose poll() failed waits before the caller tries again.
constexpr int kFailedPollWaitMs = 100;

void OnSignal(int signo) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(signo);
    if (write(g_signalPipe[1], &byte, 1) < 0) {
        // A full pipe already holds a wake-up; nothing else is safe to do here.
    }
    errno = saved;
}
} // namespace

uint64_t MonotonicNowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

EventLoop& EventLoop::Instance() {
    // Never destroyed: a worker that is still busy as the program ends may post to it.
    static EventLoop* loop = new EventLoop;
    return *loop;
}

EventLoop::EventLoop() {
    UpdateTime();
    if (pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    Watch(
        m_wakePipe[0], [] { return short(POLLIN); },
        [this](short) {
            unsigned char bytes[64];
            while (read(m_wakePipe[0], bytes, sizeof bytes) > 0) {
            }
            RunPosted();
        });
}

void EventLoop::Post(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> hold(m_postedLock);
        m_posted.push_back(std::move(job));
    }
    const unsigned char byte = 1;
    if (write(m_wakePipe[1], &byte, 1) < 0) {
        // A full pipe already holds a wake-up.
    }
}

void EventLoop::RunPosted() {
    std::vector<std::function<void()>> jobs;
    {
        std::lock_guard<std::mutex> hold(m_postedLock);
        jobs.swap(m_posted);
    }
    for (auto& job : jobs)
        job();
}

void EventLoop::SetAlarm(uint64_t id, uint64_t dueMs, std::function<void()> fire) {
    m_alarms[id] = Alarm{dueMs, std::move(fire)};
}

int EventLoop::CapTimeout(int timeoutMs) const {
    if (m_alarms.empty())
        return timeoutMs;
    uint64_t due = UINT64_MAX;
    for (const auto& [id, alarm] : m_alarms)
        due = std::min(due, alarm.dueMs);
    const uint64_t now = MonotonicNowMs();
    const uint64_t wait = due > now ? due - now : 0;
    return timeoutMs >= 0 && static_cast<uint64_t>(timeoutMs) <= wait ? timeoutMs
                                                                      : static_cast<int>(wait);
}

bool EventLoop::FireAlarms() {
    std::vector<uint64_t> due;
    for (const auto& [id, alarm] : m_alarms)
        if (alarm.dueMs <= m_nowMs)
            due.push_back(id);
    for (uint64_t id : due) {
        // An earlier alarm's call may have cancelled or re-armed this one.
        auto it = m_alarms.find(id);
        if (it == m_alarms.end() || it->second.dueMs > m_nowMs)
            continue;
        std::function<void()> fire = std::move(it->second.fire);
        m_alarms.erase(it);
        fire();
    }
    return !due.empty();
}

void EventLoop::UpdateTime() {
    m_nowMs = MonotonicNowMs();
}

void EventLoop::Watch(int fd, WantFn want, ReadyFn ready) {
    m_watchers[fd] = Watcher{m_nextGeneration++, std::move(want), std::move(ready)};
}

void EventLoop::Unwatch(int fd) {
    m_watchers.erase(fd);
}

bool EventLoop::RunOnce(int timeoutMs, const std::function<bool()>& stop) {
    std::vector<pollfd> fds;
    std::vector<uint64_t> generations;
    fds.reserve(m_watchers.size());
    for (auto& [fd, watcher] : m_watchers) {
        short want = watcher.want ? watcher.want() : short(POLLIN);
        if (want == 0)
            continue;
        fds.push_back(pollfd{fd, want, 0});
        generations.push_back(watcher.generation);
    }
    const int waitMs = CapTimeout(timeoutMs);
    int n = poll(fds.data(), fds.size(), waitMs);
    if (n < 0 && errno != EINTR) {
        // Out of memory, or more descriptors than the limit allows now: nothing can be watched
        // this round, but returning at once would make every caller's loop spin.
        poll(nullptr, 0, waitMs < 0 || waitMs > kFailedPollWaitMs ? kFailedPollWaitMs : waitMs);
    }
    UpdateTime();
    const bool fired = FireAlarms();
    if (n <= 0)
        return fired; // timeout, or EINTR: the signal's byte is in the pipe for the next round
    m_stopRound = false;
    for (size_t i = 0; i < fds.size() && !m_stopRound && !(stop && stop()); ++i) {
        if (fds[i].revents == 0)
            continue;
        // A callback may close descriptors and open new ones that reuse the same number:
        // the generation tells the watcher of this round from a newcomer.
        auto it = m_watchers.find(fds[i].fd);
        if (it == m_watchers.end() || it->second.generation != generations[i])
            continue;
        ReadyFn ready = it->second.ready; // the callback may unwatch itself
        ready(fds[i].revents);
    }
    return true;
}

void EventLoop::CatchSignals(std::initializer_list<int> signals, std::function<void(int)> handler) {
    m_onSignal = std::move(handler);
    if (g_signalPipe[0] >= 0)
        return;
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    Watch(
        g_signalPipe[0], [] { return short(POLLIN); },
        [this](short) {
            unsigned char bytes[16];
            ssize_t n = read(g_signalPipe[0], bytes, sizeof bytes);
            for (ssize_t i = 0; i < n; ++i)
                if (m_onSignal)
                    m_onSignal(bytes[i]);
        });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signo : signals)
        sigaction(signo, &action, nullptr);
}

namespace sys {

bool RunOnWorker(std::function<std::function<void()>()> job) {
    using Job = std::function<std::function<void()>()>;
    auto owned = std::make_unique<Job>(std::move(job));
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int started = pthread_create(
        &thread, &attributes,
        [](void* argument) -> void* {
            // Signals are the loop's to take, through its pipe.
            sigset_t all;
            sigfillset(&all);
            pthread_sigmask(SIG_BLOCK, &all, nullptr);
            std::unique_ptr<Job> work(static_cast<Job*>(argument));
            EventLoop::Instance().Post((*work)());
            return nullptr;
        },
        owned.get());
    pthread_attr_destroy(&attributes);
    if (started != 0)
        return false;
    owned.release(); // the thread's now
    return true;
}

void SetLoopAlarm(uint64_t id, uint64_t dueMs, std::function<void()> fire) {
    EventLoop::Instance().SetAlarm(id, dueMs, std::move(fire));
}

void CancelLoopAlarm(uint64_t id) {
    EventLoop::Instance().CancelAlarm(id);
}

uint64_t LoopNowMs() {
    return MonotonicNowMs();
}

} // namespace sys
