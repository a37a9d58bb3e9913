// The Linux program's window: a dialog shown as a live panel in a terminal, or as trace lines
// when standard output is not a terminal, run on the one poll() loop with window-like timers.
#pragma once

#include "framework/DialogHost.h"
#include "framework/TimerQueue.h"
#include "framework/terminal/KeyDecoder.h"
#include "framework/terminal/TerminalPanel.h"
#include "framework/terminal/TerminalPicture.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class TerminalHost : public DialogHost {
  public:
    // Standard output is a terminal: the window is the panel drawn there.
    bool IsTerminal() const { return m_tty; }
    TerminalHost();
    ~TerminalHost() override;

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

  private:
    // Serves timers (while the dialog runs), sockets, keys and signals until `done`.
    void RunLoop(const std::function<bool()>& done);
    // poll()'s timeout: until the next timer, Escape or foreground check (-1: none).
    int WaitMs(uint64_t now) const;
    void Cancel();
    void OnInput();
    void OnKey(KeyDecoder::Key key);
    void OnSignal(int signo);
    void WatchKeys(bool on);
    void UpdateKeyWatch();
    void Redraw();
    std::vector<std::string> PanelLines();

    bool m_tty;
    TerminalPanel m_panel;
    TerminalPicture m_picture;
    TimerQueue m_timers;

    bool m_watchingKeys = false;
    bool m_inputEnded = false;
    KeyDecoder m_keys;
    std::optional<uint64_t> m_escapeDue;

    CDialog* m_dialog = nullptr;
    bool m_ended = false;
    int m_result = 0;
    bool m_cancelPending = false;

    bool m_boxOpen = false;
    std::string m_boxText, m_boxCaption;
    // The text of the last box the running dialog showed, and of the one shown before its end.
    std::string m_lastBoxText, m_endingBoxText;
    // Once the dialog has ended: how, in place of the status line.
    std::string m_outcome;

    std::string m_caption;
    int m_statusId = 0, m_progressId = 0, m_pictureId = 0;
    std::string m_status;
    int m_bitmap = 0;
    int m_low = 0, m_high = 100, m_pos = 0;
};
