// A dialog host for tests: virtual time, a recording window, message boxes that answer themselves.
// Time moves to the next timer or scripted event only once no socket is ready: never past a reply.
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
            Pos,        // id, a
            Bitmap,     // id, a
            Icon,       // a
            Message,    // text
            Note,       // text
            TimerSet,   // id, a = elapse
            TimerKill,  // id
            TimerFired, // id
            End         // a = result
        };
        Kind kind;
        uint64_t time;
        int id, a;
        std::string text;
    };

    int RunModal(CDialog& dialog) override;
    void EndDialog(int result) override;
    void SetTimer(unsigned id, unsigned elapseMs) override;
    void KillTimer(unsigned id) override;
    void MessageBox(const std::string& text, const std::string& caption) override;
    void SetControlText(int id, const std::string& text) override {
        Record(Event::Text, id, 0, text);
    }
    void SetProgressRange(int, int, int) override {}
    void SetProgressPos(int id, int pos) override { Record(Event::Pos, id, pos); }
    void RedrawControl(int) override {}
    void SetControlBitmap(int id, int bitmapId) override { Record(Event::Bitmap, id, bitmapId); }
    void SetWindowIcon(int iconId) override { Record(Event::Icon, 0, iconId); }
    void Note(const std::string& text) override { Record(Event::Note, 0, 0, text); }

    // A run that reaches this virtual time without ending stops with kTimeLimit; one with no
    // timer armed stops with kStalled once its open sockets have been quiet for about 3 s.
    void SetTimeLimit(uint64_t ms) { m_limit = ms; }
    // The close box at that virtual time (the dialog's OnCancel).
    void EscapeAt(uint64_t ms) { m_escapeAt = ms; }
    // How long each message box stays open; its nested loop delivers what falls due meanwhile.
    void SetMessageBoxDuration(unsigned ms) { m_boxDuration = ms; }
    // Runs while a message box is open, before its nested loop.
    void OnMessageBox(std::function<void(const std::string& text)> action) {
        m_onBox = std::move(action);
    }

    bool HasEnded() const { return m_ended; }
    const std::vector<Event>& Events() const { return m_events; }
    std::vector<Event> EventsOf(Event::Kind kind) const;
    // The texts of one kind of event (of one control for Text), in order.
    std::vector<std::string> TextsOf(Event::Kind kind, int id = 0) const;
    std::vector<int> PositionsOf(int controlId) const;
    // Timer deliveries as "id@time" words, for comparing whole sequences at once.
    std::string FiredTimers() const;

  private:
    // Delivers socket notifications and every timer or scripted event due up to `until`, in
    // time order, moving virtual time along; stops early once the dialog has ended. With
    // `waitForSockets`, nothing due at all means waiting (in real time) for open sockets.
    void Advance(uint64_t until, bool waitForSockets);
    std::optional<uint64_t> NextEvent() const;
    void Record(Event::Kind kind, int id = 0, int a = 0, const std::string& text = {}) {
        m_events.push_back({kind, m_now, id, a, text});
    }

    TimerQueue m_timers;
    CDialog* m_dialog = nullptr;
    uint64_t m_now = 0, m_limit = 600000;
    std::optional<uint64_t> m_escapeAt;
    unsigned m_boxDuration = 0;
    std::function<void(const std::string&)> m_onBox;
    bool m_ended = false;
    int m_result = 0;
    std::vector<Event> m_events;
};
