// The terminal window of the Linux program.
// Implements: the modal run on the poll() loop, window-like periodic timers, the live panel
// (caption, picture, progress with percentage, status) or the trace lines on standard output,
// the trace file, message boxes (nested loop in a terminal, answered at once otherwise),
// Escape/Ctrl-C/SIGINT/SIGTERM/SIGHUP as the close box, Enter as OK.
// Leaves out: icons and painting (a terminal shows neither), a minimised state.
#include "TerminalHost.h"

#include "Dialog.h"
#include "DialogTemplate.h"
#include "EventLoop.h"

#include <algorithm>
#include <poll.h>
#include <unistd.h>

namespace {
// Window timers never run faster than this, whatever they were asked for.
constexpr unsigned kMinimumTimerMs = 10;

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        lines.push_back(TerminalPanel::Printable(text.substr(start, end - start)));
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}
} // namespace

DialogHost& PlatformDialogHost() {
    static TerminalHost host;
    return host;
}

TerminalHost::TerminalHost() : m_tty(isatty(STDOUT_FILENO) == 1) {
    if (!m_tty)
        m_stdoutTrace.AttachStream(stdout);
    m_fileTrace.OpenFromEnvironment("ZYN_LAUNCH_TRACE");
    EventLoop::Instance().CatchTerminationSignals([this](int) { OnSignal(); });
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
    m_stdoutTrace.Begin(m_status, m_pos, m_bitmap);
    m_fileTrace.Begin(m_status, m_pos, m_bitmap);
    if (m_tty)
        m_panel.Open();
    WatchKeys(true);
    Redraw();
    EventLoop::Instance().UpdateTime();

    dialog.InitDialog();
    RunLoop([this] { return m_ended; });

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
        auto next = m_timers.NextDue();
        int timeout = -1;
        if (next)
            timeout = static_cast<int>(std::min<uint64_t>(
                *next > loop.NowMs() ? *next - loop.NowMs() : 0, 24u * 3600 * 1000));
        loop.RunOnce(timeout);
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

void TerminalHost::EndDialog(int result) {
    if (!m_dialog || m_ended)
        return;
    m_ended = true;
    m_result = result;
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

void TerminalHost::OnSignal() {
    // Acts as the close box; an open message box is answered first, the way a window that a
    // box makes inactive would only see the close once the box has gone.
    if (m_boxOpen) {
        m_boxOpen = false;
        m_cancelPending = true;
    } else if (m_dialog && !m_ended) {
        Cancel();
    }
}

void TerminalHost::OnKey(TerminalPanel::Key key) {
    if (key == TerminalPanel::Key::Interrupt) {
        OnSignal();
    } else if (m_boxOpen) {
        m_boxOpen = false; // Enter and Escape both answer a box that has only OK
    } else if (m_dialog && !m_ended) {
        if (key == TerminalPanel::Key::Escape)
            Cancel();
        else
            m_dialog->OnOK();
    }
}

void TerminalHost::WatchKeys(bool on) {
    EventLoop& loop = EventLoop::Instance();
    if (!on || !m_tty) {
        loop.Unwatch(STDIN_FILENO);
        return;
    }
    loop.Watch(
        STDIN_FILENO, [] { return short(POLLIN); },
        [this](short) {
            char buffer[64];
            ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                // No more input: nobody can answer a box, so it counts as answered.
                EventLoop::Instance().Unwatch(STDIN_FILENO);
                m_boxOpen = false;
                return;
            }
            for (TerminalPanel::Key key :
                 TerminalPanel::ParseKeys(std::string(buffer, static_cast<size_t>(n))))
                OnKey(key);
        });
}

void TerminalHost::MessageBox(const std::string& text, const std::string& caption) {
    m_stdoutTrace.Message(text);
    m_fileTrace.Message(text);
    if (!m_tty)
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

std::vector<std::string> TerminalHost::PanelLines() const {
    std::vector<std::string> lines;
    if (m_dialog) {
        lines.push_back(" " + TerminalPanel::Printable(m_caption));
        lines.push_back(" picture " + std::to_string(m_bitmap));
        int span = m_high - m_low;
        int percent = span > 0 ? (m_pos - m_low) * 100 / span : 0;
        constexpr int kWidth = 40;
        int filled = percent * kWidth / 100;
        lines.push_back(" [" + std::string(static_cast<size_t>(filled), '#') +
                        std::string(static_cast<size_t>(kWidth - filled), '.') + "] " +
                        std::to_string(percent) + "%");
        lines.push_back(" " + TerminalPanel::Printable(m_status));
    }
    if (m_boxOpen) {
        lines.push_back("");
        lines.push_back(" -- " + TerminalPanel::Printable(m_boxCaption) + " --");
        for (const std::string& line : SplitLines(m_boxText))
            lines.push_back(" " + line);
        lines.push_back(" [ OK ]");
    }
    return lines;
}

void TerminalHost::Redraw() {
    if (m_panel.IsOpen())
        m_panel.Draw(PanelLines());
}

void TerminalHost::SetControlText(int controlId, const std::string& text) {
    if (controlId != m_statusId || !m_dialog)
        return;
    m_status = text;
    m_stdoutTrace.Status(text);
    m_fileTrace.Status(text);
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
    m_stdoutTrace.Progress(m_pos);
    m_fileTrace.Progress(m_pos);
    Redraw();
}

void TerminalHost::RedrawControl(int) {
    Redraw();
}

void TerminalHost::SetControlBitmap(int controlId, int bitmapId) {
    if (controlId != m_pictureId || !m_dialog)
        return;
    m_bitmap = bitmapId;
    m_stdoutTrace.Picture(bitmapId);
    m_fileTrace.Picture(bitmapId);
    Redraw();
}

void TerminalHost::SetWindowIcon(int) {}
