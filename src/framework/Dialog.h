// Modal dialog base: notifications come in as virtual calls, one at a time, from the host.
#pragma once

#include "framework/Controls.h"
#include "framework/DialogHost.h"

#include <string>

enum { IDOK = 1, IDCANCEL = 2 };

class CDialog {
  public:
    explicit CDialog(int templateId) : m_nTemplateId(templateId) {}
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    int GetTemplateId() const { return m_nTemplateId; }
    // Runs the dialog in the current host; returns the EndDialog result.
    int DoModal();

    // Called by the host.
    bool InitDialog(); // binds the controls, then OnInitDialog
    virtual void OnTimer(unsigned id) { (void)id; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual void OnPaint() { Host().DefaultPaint(); }
    // Number of message boxes this dialog has shown.
    int GetMessageBoxCount() const { return m_nMessageBoxes; }

  protected:
    virtual void DoDataExchange() {}
    virtual bool OnInitDialog() { return true; }
    void DDX_Control(int controlId, CWndControl& control) { control.Attach(controlId); }

    void SetTimer(unsigned id, unsigned elapseMs);
    void KillTimer(unsigned id);
    void EndDialog(int result);
    // OK button, exclamation-mark icon, captioned with the program's name.
    void MessageBox(const std::string& text);
    void TraceNote(const std::string& text);
    void SetIcon(int iconId);
    bool IsIconic();
    void PaintIconCentred(int iconId);

  private:
    class DialogHost& Host();
    int m_nTemplateId;
    int m_nMessageBoxes = 0;
};
