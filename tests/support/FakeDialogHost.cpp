// The fake dialog host: virtual timers, nested message box loops, a scripted close box, socket
// notifications and lookups before time moves on. Leaves out painting, real windows and keys.
#include "support/FakeDialogHost.h"

#include "framework/AsyncSocket.h"
#include "framework/Dialog.h"

#include <algorithm>

namespace {
// Virtual time moves on only once a real wait this long has found no socket ready: a loopback
// peer answers well within it, so a reply beats any timer, as it does in real time.
constexpr int kRealPollMs = 5;
// A run with no timer armed waits this many such empty polls (about 3 s) for its sockets.
constexpr int kIdlePollLimit = 600;
} // namespace

int FakeDialogHost::RunModal(CDialog& dialog) {
    m_dialog = &dialog;
    m_ended = false;
    m_result = 0;
    m_timers.Clear();
    dialog.InitDialog();
    Advance(m_limit, true);
    int result = m_result;
    if (!m_ended)
        result = NextEvent() ? kTimeLimit : kStalled;
    // The window's timers die with it.
    m_timers.Clear();
    m_dialog = nullptr;
    return result;
}

std::optional<uint64_t> FakeDialogHost::NextEvent() const {
    std::optional<uint64_t> next = m_timers.NextDue();
    if (m_escapeAt && (!next || *m_escapeAt < *next))
        next = m_escapeAt;
    return next;
}

void FakeDialogHost::Advance(uint64_t until, bool waitForSockets) {
    const auto ended = [this] { return m_ended || !m_dialog; };
    int idlePolls = 0;
    while (!ended()) {
        if (AfxPumpEvents(kRealPollMs, ended)) {
            idlePolls = 0;
            continue;
        }
        // A lookup answers in real time, as a loopback peer does: virtual time waits for it.
        if (CAsyncSocket::AnyLookupPending() && ++idlePolls < kIdlePollLimit)
            continue;
        const std::optional<uint64_t> next = NextEvent();
        if (!next || *next > until) {
            if (next || !waitForSockets || !CAsyncSocket::AnyOpen() ||
                ++idlePolls >= kIdlePollLimit)
                return;
            continue;
        }
        m_now = std::max(m_now, *next);
        if (m_escapeAt && *m_escapeAt <= m_now) {
            m_escapeAt.reset();
            m_dialog->OnCancel();
            continue;
        }
        if (const std::optional<unsigned> id = m_timers.PopDue(m_now)) {
            Record(Event::TimerFired, static_cast<int>(*id));
            m_dialog->OnTimer(*id);
        }
    }
}

void FakeDialogHost::EndDialog(int result) {
    Record(Event::End, 0, result);
    if (m_ended)
        return; // the window is already closing with the first result
    m_ended = true;
    m_result = result;
}

void FakeDialogHost::SetTimer(unsigned id, unsigned elapseMs) {
    Record(Event::TimerSet, static_cast<int>(id), static_cast<int>(elapseMs));
    m_timers.Set(id, m_now, elapseMs);
}

void FakeDialogHost::KillTimer(unsigned id) {
    Record(Event::TimerKill, static_cast<int>(id));
    m_timers.Kill(id);
}

void FakeDialogHost::MessageBox(const std::string& text, const std::string&) {
    Record(Event::Message, 0, 0, text);
    if (m_onBox) {
        // Copied, so that an action may replace itself.
        const auto action = m_onBox;
        action(text);
    }
    const uint64_t closeAt = m_now + m_boxDuration;
    Advance(closeAt, false);
    m_now = std::max(m_now, closeAt);
}

std::vector<FakeDialogHost::Event> FakeDialogHost::EventsOf(Event::Kind kind) const {
    std::vector<Event> found;
    std::copy_if(m_events.begin(), m_events.end(), std::back_inserter(found),
                 [kind](const Event& e) { return e.kind == kind; });
    return found;
}

std::vector<std::string> FakeDialogHost::TextsOf(Event::Kind kind, int id) const {
    std::vector<std::string> texts;
    for (const Event& e : m_events)
        if (e.kind == kind && e.id == id)
            texts.push_back(e.text);
    return texts;
}

std::vector<int> FakeDialogHost::PositionsOf(int controlId) const {
    std::vector<int> positions;
    for (const Event& e : m_events)
        if (e.kind == Event::Pos && e.id == controlId)
            positions.push_back(e.a);
    return positions;
}

std::string FakeDialogHost::FiredTimers() const {
    std::string words;
    for (const Event& e : m_events)
        if (e.kind == Event::TimerFired)
            words +=
                (words.empty() ? "" : " ") + std::to_string(e.id) + "@" + std::to_string(e.time);
    return words;
}
