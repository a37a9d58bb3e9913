// Portable timer queue shared by the terminal and the fake backends.
#include "framework/TimerQueue.h"

#include <algorithm>

void TimerQueue::Set(unsigned id, uint64_t nowMs, unsigned intervalMs) {
    Kill(id);
    // A period of 0 would be due again at once, for ever: the loop would never wait.
    if (intervalMs == 0)
        intervalMs = 1;
    m_timers.push_back({id, nowMs + intervalMs, intervalMs, m_nextOrder++});
}

void TimerQueue::Kill(unsigned id) {
    std::erase_if(m_timers, [id](const Timer& t) { return t.id == id; });
}

bool TimerQueue::IsArmed(unsigned id) const {
    return std::any_of(m_timers.begin(), m_timers.end(),
                       [id](const Timer& t) { return t.id == id; });
}

static bool Earlier(const auto& a, const auto& b) {
    return a.due != b.due ? a.due < b.due : a.order < b.order;
}

std::optional<uint64_t> TimerQueue::NextDue() const {
    if (m_timers.empty())
        return std::nullopt;
    return std::min_element(m_timers.begin(), m_timers.end(), Earlier<Timer, Timer>)->due;
}

std::optional<unsigned> TimerQueue::PopDue(uint64_t nowMs) {
    auto it = std::min_element(m_timers.begin(), m_timers.end(), Earlier<Timer, Timer>);
    if (it == m_timers.end() || it->due > nowMs)
        return std::nullopt;
    // A periodic timer that fell behind fires once and resumes from now, as window timers do.
    it->due = std::max(it->due + it->interval, nowMs);
    if (it->due == nowMs)
        it->due = nowMs + it->interval;
    it->order = m_nextOrder++;
    return it->id;
}
