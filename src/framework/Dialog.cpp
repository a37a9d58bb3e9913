// The dialog base and its controls forward everything to the current host.
#include "framework/Dialog.h"

#include "framework/App.h"
#include "framework/DialogHost.h"

namespace {
DialogHost* g_installedHost = nullptr;
}

DialogHost& DialogHost::Current() {
    return g_installedHost ? *g_installedHost : PlatformDialogHost();
}

void DialogHost::Install(DialogHost* host) {
    g_installedHost = host;
}

void CStatic::SetWindowText(const std::string& text) {
    DialogHost::Current().SetControlText(m_nId, text);
}
void CStatic::SetBitmap(int bitmapId) {
    DialogHost::Current().SetControlBitmap(m_nId, bitmapId);
}
void CProgressCtrl::SetRange(int low, int high) {
    DialogHost::Current().SetProgressRange(m_nId, low, high);
}
void CProgressCtrl::SetPos(int pos) {
    DialogHost::Current().SetProgressPos(m_nId, pos);
}
void CProgressCtrl::RedrawNow() {
    DialogHost::Current().RedrawControl(m_nId);
}

DialogHost& CDialog::Host() {
    return DialogHost::Current();
}

int CDialog::DoModal() {
    return Host().RunModal(*this);
}

bool CDialog::InitDialog() {
    DoDataExchange();
    return OnInitDialog();
}

void CDialog::SetTimer(unsigned id, unsigned elapseMs) {
    Host().SetTimer(id, elapseMs);
}
void CDialog::KillTimer(unsigned id) {
    Host().KillTimer(id);
}
void CDialog::EndDialog(int result) {
    Host().EndDialog(result);
}
void CDialog::MessageBox(const std::string& text) {
    ++m_nMessageBoxes;
    Host().MessageBox(text, AfxGetAppName());
}
void CDialog::TraceNote(const std::string& text) {
    Host().Note(text);
}
void CDialog::SetIcon(int iconId) {
    Host().SetWindowIcon(iconId);
}
bool CDialog::IsIconic() {
    return Host().IsIconic();
}
void CDialog::PaintIconCentred(int iconId) {
    Host().PaintIconCentred(iconId);
}
