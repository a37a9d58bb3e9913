// The window trace, written once for any host: the host is wrapped, and every visible change
// passes through here on its way to it.
#pragma once

#include "framework/DialogHost.h"
#include "framework/WindowTrace.h"

#include <cstdio>

class TracingHost final : public DialogHost {
  public:
    // Appends to the file that ZYN_LAUNCH_TRACE names, and writes the same lines to
    // `lineStream` when one is given (a host with no window to show them in).
    TracingHost(DialogHost& inner, FILE* lineStream);

    int RunModal(CDialog& dialog) override;
    void EndDialog(int result) override { m_inner.EndDialog(result); }
    void SetTimer(unsigned id, unsigned elapseMs) override { m_inner.SetTimer(id, elapseMs); }
    void KillTimer(unsigned id) override { m_inner.KillTimer(id); }
    void MessageBox(const std::string& text, const std::string& caption) override;
    void Note(const std::string& text) override;
    void SetControlText(int controlId, const std::string& text) override;
    void SetProgressRange(int controlId, int low, int high) override;
    void SetProgressPos(int controlId, int pos) override;
    void RedrawControl(int controlId) override { m_inner.RedrawControl(controlId); }
    void SetControlBitmap(int controlId, int bitmapId) override;
    void SetWindowIcon(int iconId) override { m_inner.SetWindowIcon(iconId); }
    bool IsIconic() override { return m_inner.IsIconic(); }
    void PaintIconCentred(int iconId) override { m_inner.PaintIconCentred(iconId); }
    void DefaultPaint() override { m_inner.DefaultPaint(); }

  private:
    bool IsProgress(int controlId) const;
    template <class Write> void Each(Write write) {
        write(m_file);
        write(m_lines);
    }

    DialogHost& m_inner;
    WindowTrace m_file, m_lines;
    OpenedWindow m_window;
    bool m_open = false;
    int m_low = 0, m_high = 100, m_pos = 0;
};
