// The one poll() loop of the Linux program: descriptor watching that skips watchers removed in
// the same round, loop time, signals through a self-pipe, a failing poll() that waits out its
// round. Leaves out: timers (the hosts pass their next deadline as the timeout).
#include "framework/posix/EventLoop.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
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
    static EventLoop loop;
    return loop;
}

EventLoop::EventLoop() {
    UpdateTime();
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
    int n = poll(fds.data(), fds.size(), timeoutMs);
    if (n < 0 && errno != EINTR) {
        // Out of memory, or more descriptors than the limit allows now: nothing can be watched
        // this round, but returning at once would make every caller's loop spin.
        poll(nullptr, 0,
             timeoutMs < 0 || timeoutMs > kFailedPollWaitMs ? kFailedPollWaitMs : timeoutMs);
    }
    UpdateTime();
    if (n <= 0)
        return false; // timeout, or EINTR: the signal's byte is in the pipe for the next round
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
