// A dialog host for tests: virtual time, a recording window and message boxes that answer
// themselves. Socket notifications of the platform still arrive, so real loopback sockets work.
// It never reads a clock: time only moves to the next timer or scripted event, and only once
// no socket is ready, so real socket I/O is never overtaken by virtual time.
#pragma once

#include "framework/DialogHost.h"
#include "framework/TimerQueue.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class FakeDialogHost : public DialogHost {
  public:
    // RunModal results that no dialog returns.
    enum { kStalled = -1, kTimeLimit = -2 };

    struct Event {
        enum Kind {
            Text,       // id, text
            Range,      // id, low = a, high = b
            Pos,        // id, a
            Redraw,     // id
            Bitmap,     // id, a
            Icon,       // a
            Message,    // text, caption
            Note,       // text
            TimerSet,   // id, a = elapse
            TimerKill,  // id
            TimerFired, // id
            End,        // a = result
            Escape
        };
        Kind kind;
        uint64_t time;
        int id;
        int a;
        int b;
        std::string text;
        std::string caption;
    };

    // DialogHost.
    int RunModal(CDialog& dialog) override;
    void EndDialog(int result) override;
    void SetTimer(unsigned id, unsigned elapseMs) override;
    void KillTimer(unsigned id) override;
    void MessageBox(const std::string& text, const std::string& caption) override;
    void SetControlText(int controlId, const std::string& text) override;
    void SetProgressRange(int controlId, int low, int high) override;
    void SetProgressPos(int controlId, int pos) override;
    void RedrawControl(int controlId) override;
    void SetControlBitmap(int controlId, int bitmapId) override;
    void SetWindowIcon(int iconId) override;
    void Note(const std::string& text) override { Record(Event::Note, 0, 0, 0, text); }

    // Script.
    uint64_t Now() const { return m_now; }
    // A run that reaches this virtual time without ending stops with kTimeLimit; one with no
    // timer armed stops with kStalled once its open sockets have been quiet for a few (real)
    // seconds.
    void SetTimeLimit(uint64_t ms) { m_limit = ms; }
    // The close box at that virtual time (the dialog's OnCancel).
    void EscapeAt(uint64_t ms) { m_escapeAt = ms; }
    // How long each message box stays open; its nested loop delivers what falls due meanwhile.
    void SetMessageBoxDuration(unsigned ms) { m_boxDuration = ms; }
    // Runs while a message box is open, before its nested loop.
    void OnMessageBox(std::function<void(const std::string& text)> action) {
        m_onBox = std::move(action);
    }
    // The dialog being run, for scripted actions.
    CDialog* Dialog() const { return m_dialog; }

    // Record.
    bool IsTimerArmed(unsigned id) const { return m_timers.IsArmed(id); }
    bool HasEnded() const { return m_ended; }
    const std::vector<Event>& Events() const { return m_events; }
    std::vector<Event> EventsOf(Event::Kind kind) const;
    // Texts of one control, in order; values of one progress bar.
    std::vector<std::string> TextsOf(int controlId) const;
    std::vector<int> PositionsOf(int controlId) const;
    // Timer deliveries as "id@time" words, for comparing whole sequences at once.
    std::string FiredTimers() const;

  private:
    // Delivers socket notifications and every timer or scripted event due up to `until`, in
    // time order, moving virtual time along; stops early once the dialog has ended. With
    // `waitForSockets`, nothing due at all means waiting (in real time) for open sockets.
    void Advance(uint64_t until, bool waitForSockets);
    std::optional<uint64_t> NextEvent() const;
    void Record(Event::Kind kind, int id = 0, int a = 0, int b = 0, const std::string& text = {},
                const std::string& caption = {});

    TimerQueue m_timers;
    CDialog* m_dialog = nullptr;
    uint64_t m_now = 0;
    uint64_t m_limit = 600000;
    std::optional<uint64_t> m_escapeAt;
    unsigned m_boxDuration = 0;
    std::function<void(const std::string&)> m_onBox;
    bool m_ended = false;
    int m_result = 0;
    std::vector<Event> m_events;
};
