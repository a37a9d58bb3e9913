// The terminal window of the Linux program: the modal run on the poll() loop, the live panel or
// (no terminal) the trace lines, message boxes, Escape, Enter and the close signals, a last line
// that says how the dialog ended. Leaves out: icons, painting, a minimised state.
#include "framework/terminal/TerminalHost.h"

#include "framework/TracingHost.h"

#include "framework/Dialog.h"
#include "framework/DialogTemplate.h"
#include "framework/posix/EventLoop.h"
#include "framework/terminal/PanelText.h"

#include <algorithm>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace {
// Window timers never run faster than this, whatever they were asked for.
constexpr unsigned kMinimumTimerMs = 10;
// How long an Escape byte waits for the rest of an Alt+key or a key sequence. Terminals send a
// sequence in one go; only a slow link splits it by more than this.
constexpr uint64_t kEscapeWaitMs = 50;
// How often a program in the background looks whether it has been brought to the foreground.
constexpr uint64_t kForegroundCheckMs = 250;

// Rows the panel keeps for the caption, progress, status and a message box of two lines (its
// frame, button and the gap above take five more); the picture gets what the terminal's height
// leaves besides them and the shell's line, so that it keeps its size when a box opens.
constexpr int kRowsBesidesPicture = 9;
// Beyond this a picture only grows coarser.
constexpr int kMaxPictureRows = 20;
} // namespace

DialogHost& PlatformDialogHost() {
    static TerminalHost host;
    // Where standard output is no terminal, the window is its trace lines.
    static TracingHost traced(host, host.IsTerminal() ? nullptr : stdout);
    return traced;
}

TerminalHost::TerminalHost() : m_tty(isatty(STDOUT_FILENO) == 1) {
    EventLoop::Instance().CatchSignals({SIGINT, SIGTERM, SIGHUP, SIGCONT, SIGWINCH},
                                       [this](int signo) { OnSignal(signo); });
}

TerminalHost::~TerminalHost() {
    m_panel.Close();
}

int TerminalHost::RunModal(CDialog& dialog) {
    m_dialog = &dialog;
    m_ended = false;
    m_result = 0;
    m_timers.Clear();
    // A new window: what an earlier run showed is gone.
    m_caption.clear();
    m_status.clear();
    m_statusId = m_progressId = m_pictureId = m_bitmap = 0;
    m_low = m_pos = 0;
    m_high = 100;
    m_lastBoxText.clear();
    m_endingBoxText.clear();
    m_outcome.clear();
    m_keys = KeyDecoder();
    m_escapeDue.reset();
    if (const DialogTemplate* t = FindDialogTemplate(dialog.GetTemplateId())) {
        m_caption = t->caption ? t->caption : "";
        for (const DialogControl& c : t->controls) {
            if (c.kind == DialogControl::Text && !m_statusId) {
                m_statusId = c.id;
                m_status = c.initialText ? c.initialText : "";
            } else if (c.kind == DialogControl::Picture && !m_pictureId) {
                m_pictureId = c.id;
                m_bitmap = c.initialBitmap;
            } else if (c.kind == DialogControl::Progress && !m_progressId) {
                m_progressId = c.id;
            }
        }
    }
    if (onOpened)
        onOpened({m_status, m_bitmap, m_statusId, m_progressId, m_pictureId});
    if (m_tty)
        m_panel.Open();
    WatchKeys(true);
    Redraw();
    EventLoop::Instance().UpdateTime();

    dialog.InitDialog();
    RunLoop([this] { return m_ended; });

    if (m_result == IDCANCEL)
        m_outcome = "cancelled by the user";
    else if (!m_endingBoxText.empty())
        m_outcome = "ended: " + m_endingBoxText;
    else
        m_outcome = "finished";
    Redraw();
    WatchKeys(false);
    m_panel.Close();
    m_timers.Clear();
    m_dialog = nullptr;
    m_cancelPending = false;
    return m_result;
}

void TerminalHost::RunLoop(const std::function<bool()>& done) {
    EventLoop& loop = EventLoop::Instance();
    while (!done()) {
        if (m_cancelPending && !m_boxOpen && !m_ended) {
            m_cancelPending = false;
            Cancel();
            continue;
        }
        // Handlers take their time: the wait for the next deadline starts from now.
        loop.UpdateTime();
        loop.RunOnce(WaitMs(loop.NowMs()));
        if (m_panel.TakeIfForeground()) {
            Redraw();
            UpdateKeyWatch();
        }
        if (m_escapeDue && *m_escapeDue <= loop.NowMs()) {
            m_escapeDue.reset();
            if (m_keys.Expire())
                OnKey(KeyDecoder::Key::Escape);
        }
        // Timers only for the dialog that still runs, one at a time, each after the
        // previous handler (and whatever it nested) has returned.
        while (m_dialog && !m_ended && !done()) {
            auto id = m_timers.PopDue(loop.NowMs());
            if (!id)
                break;
            m_dialog->OnTimer(*id);
        }
    }
}

int TerminalHost::WaitMs(uint64_t now) const {
    std::optional<uint64_t> next = m_timers.NextDue();
    auto consider = [&next](uint64_t due) {
        if (!next || due < *next)
            next = due;
    };
    if (m_escapeDue)
        consider(*m_escapeDue);
    if (m_panel.IsInBackground())
        consider(now + kForegroundCheckMs);
    if (!next)
        return -1;
    return static_cast<int>(std::min<uint64_t>(*next > now ? *next - now : 0, 24u * 3600 * 1000));
}

void TerminalHost::EndDialog(int result) {
    if (!m_dialog || m_ended)
        return;
    m_ended = true;
    m_result = result;
    m_endingBoxText = m_lastBoxText;
    m_timers.Clear();
    EventLoop::Instance().StopRound();
}

void TerminalHost::SetTimer(unsigned id, unsigned elapseMs) {
    if (!m_dialog || m_ended)
        return;
    m_timers.Set(id, EventLoop::Instance().NowMs(), std::max(elapseMs, kMinimumTimerMs));
}

void TerminalHost::KillTimer(unsigned id) {
    m_timers.Kill(id);
}

void TerminalHost::Cancel() {
    if (m_dialog && !m_ended)
        m_dialog->OnCancel();
}

void TerminalHost::OnSignal(int signo) {
    if (signo == SIGWINCH) {
        Redraw(); // for the new size
        return;
    }
    if (signo == SIGCONT) {
        // Brought to the foreground, or sent to the background: the terminal may have changed
        // hands, and the shell has printed below the panel.
        if (m_panel.IsOpen()) {
            m_panel.Resume();
            Redraw();
            UpdateKeyWatch();
        }
        return;
    }
    // Acts as the close box; an open message box is answered first, the way a window that a
    // box makes inactive would only see the close once the box has gone.
    if (m_boxOpen) {
        m_boxOpen = false;
        m_cancelPending = true;
    } else if (m_dialog && !m_ended) {
        Cancel();
    }
}

void TerminalHost::OnKey(KeyDecoder::Key key) {
    if (key == KeyDecoder::Key::Interrupt) {
        OnSignal(SIGINT);
    } else if (m_boxOpen) {
        m_boxOpen = false; // Enter and Escape both answer a box that has only OK
    } else if (m_dialog && !m_ended) {
        if (key == KeyDecoder::Key::Escape)
            Cancel();
        else
            m_dialog->OnOK();
    }
}

void TerminalHost::WatchKeys(bool on) {
    m_watchingKeys = on;
    UpdateKeyWatch();
}

void TerminalHost::UpdateKeyWatch() {
    EventLoop& loop = EventLoop::Instance();
    // A program in the background reads no keys: the terminal would stop it for trying.
    if (!m_watchingKeys || !m_tty || m_inputEnded || !m_panel.HasKeyboard()) {
        loop.Unwatch(STDIN_FILENO);
        return;
    }
    loop.Watch(
        STDIN_FILENO, [] { return short(POLLIN); }, [this](short) { OnInput(); });
}

void TerminalHost::OnInput() {
    std::string bytes;
    if (!m_panel.ReadInput(bytes)) {
        // No more input: nobody can answer a box, so this one and every later one counts as
        // answered.
        m_inputEnded = true;
        m_boxOpen = false;
        UpdateKeyWatch();
        return;
    }
    if (bytes.empty()) {
        UpdateKeyWatch(); // the terminal is not ours now
        return;
    }
    for (KeyDecoder::Key key : m_keys.Feed(bytes))
        OnKey(key);
    if (m_keys.IsWaiting())
        m_escapeDue = EventLoop::Instance().NowMs() + kEscapeWaitMs;
    else
        m_escapeDue.reset();
}

void TerminalHost::MessageBox(const std::string& text, const std::string& caption) {
    if (m_dialog && !m_ended)
        m_lastBoxText = text;
    if (!m_tty || m_inputEnded)
        return; // answered OK at once
    bool outsideDialog = !m_panel.IsOpen();
    if (outsideDialog) {
        m_panel.Open();
        WatchKeys(true);
    }
    bool wasOpen = m_boxOpen;
    std::string oldText = m_boxText, oldCaption = m_boxCaption;
    m_boxOpen = true;
    m_boxText = text;
    m_boxCaption = caption;
    Redraw();
    RunLoop([this] { return !m_boxOpen; });
    // A box opened by a handler inside another box's loop gives the outer one back.
    m_boxOpen = wasOpen;
    m_boxText = oldText;
    m_boxCaption = oldCaption;
    Redraw();
    if (outsideDialog) {
        WatchKeys(false);
        m_panel.Close();
    }
}

std::vector<std::string> TerminalHost::PanelLines() {
    int columns = m_panel.Columns();
    std::vector<std::string> below;
    if (m_dialog) {
        int span = m_high - m_low;
        below.push_back(ProgressLine(span > 0 ? (m_pos - m_low) * 100 / span : 0, columns));
        if (m_outcome.empty())
            below.push_back(" " + TerminalPanel::Printable(m_status));
        else
            for (const std::string& line : SplitLines(m_outcome))
                below.push_back(" " + line);
    }
    if (m_boxOpen) {
        below.push_back("");
        for (std::string& line : MessageBoxLines(m_boxCaption, m_boxText, columns))
            below.push_back(std::move(line));
    }
    if (!m_dialog)
        return below;

    std::vector<std::string> lines{" " + TerminalPanel::Printable(m_caption)};
    int besides = std::max(static_cast<int>(below.size()) + 1, kRowsBesidesPicture);
    int pictureRows = std::min(kMaxPictureRows, m_panel.Rows() - 1 - besides);
    const std::vector<std::string>& picture = m_picture.Lines(m_bitmap, columns, pictureRows);
    lines.insert(lines.end(), picture.begin(), picture.end());
    lines.insert(lines.end(), below.begin(), below.end());
    return lines;
}

void TerminalHost::Redraw() {
    if (!m_panel.IsOpen())
        return;
    // Asked each time: a program in the background is not told of a resize.
    m_panel.UpdateSize();
    m_panel.Draw(PanelLines());
}

void TerminalHost::SetControlText(int controlId, const std::string& text) {
    if (controlId != m_statusId || !m_dialog)
        return;
    m_status = text;
    Redraw();
}

void TerminalHost::SetProgressRange(int controlId, int low, int high) {
    if (controlId != m_progressId || !m_dialog)
        return;
    m_low = low;
    m_high = high;
    SetProgressPos(controlId, m_pos);
}

void TerminalHost::SetProgressPos(int controlId, int pos) {
    if (controlId != m_progressId || !m_dialog)
        return;
    // A bar shows its position within its range, as the Windows control keeps it.
    m_pos = std::clamp(pos, std::min(m_low, m_high), std::max(m_low, m_high));
    Redraw();
}

void TerminalHost::RedrawControl(int) {
    Redraw();
}

void TerminalHost::SetControlBitmap(int controlId, int bitmapId) {
    if (controlId != m_pictureId || !m_dialog)
        return;
    m_bitmap = bitmapId;
    Redraw();
}

void TerminalHost::SetWindowIcon(int) {}
