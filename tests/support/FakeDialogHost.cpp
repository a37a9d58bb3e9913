// The fake dialog host: virtual time and a recording window, for tests.
// Implements: timers on a TimerQueue driven by virtual time, nested message box loops, a
// scripted close box, socket notifications and name lookups delivered before virtual time
// moves on, the first EndDialog's result.
// Leaves out: painting, real windows, keyboard input.
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

void FakeDialogHost::Record(Event::Kind kind, int id, int a, int b, const std::string& text,
                            const std::string& caption) {
    m_events.push_back({kind, m_now, id, a, b, text, caption});
}

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
            Record(Event::Escape);
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

void FakeDialogHost::MessageBox(const std::string& text, const std::string& caption) {
    Record(Event::Message, 0, 0, 0, text, caption);
    if (m_onBox) {
        // Copied, so that an action may replace itself.
        const auto action = m_onBox;
        action(text);
    }
    const uint64_t closeAt = m_now + m_boxDuration;
    Advance(closeAt, false);
    m_now = std::max(m_now, closeAt);
}

void FakeDialogHost::SetControlText(int controlId, const std::string& text) {
    Record(Event::Text, controlId, 0, 0, text);
}

void FakeDialogHost::SetProgressRange(int controlId, int low, int high) {
    Record(Event::Range, controlId, low, high);
}

void FakeDialogHost::SetProgressPos(int controlId, int pos) {
    Record(Event::Pos, controlId, pos);
}

void FakeDialogHost::RedrawControl(int controlId) {
    Record(Event::Redraw, controlId);
}

void FakeDialogHost::SetControlBitmap(int controlId, int bitmapId) {
    Record(Event::Bitmap, controlId, bitmapId);
}

void FakeDialogHost::SetWindowIcon(int iconId) {
    Record(Event::Icon, 0, iconId);
}

std::vector<FakeDialogHost::Event> FakeDialogHost::EventsOf(Event::Kind kind) const {
    std::vector<Event> found;
    std::copy_if(m_events.begin(), m_events.end(), std::back_inserter(found),
                 [kind](const Event& e) { return e.kind == kind; });
    return found;
}

std::vector<std::string> FakeDialogHost::TextsOf(int controlId) const {
    std::vector<std::string> texts;
    for (const Event& e : m_events)
        if (e.kind == Event::Text && e.id == controlId)
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
