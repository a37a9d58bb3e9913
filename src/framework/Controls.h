// The dialog's controls as the launch code sees them: a picture, a static text, a progress bar.
#pragma once

#include <string>

class CWndControl {
  public:
    void Attach(int controlId) { m_nId = controlId; }
    int GetDlgCtrlID() const { return m_nId; }

  protected:
    int m_nId = 0;
};

class CStatic : public CWndControl {
  public:
    void SetWindowText(const std::string& text);
    void SetBitmap(int bitmapId);
};

class CProgressCtrl : public CWndControl {
  public:
    void SetRange(int low, int high);
    void SetPos(int pos);
    void RedrawNow();
};
