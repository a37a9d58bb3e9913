// The Windows dialog host: the template from the resources, the system's modal loop shared by
// timers, sockets and message boxes, a window centred unless it placed itself. Leaves out:
// modeless dialogs, owner windows, nested dialogs.
#include "framework/DialogHost.h"

#include "framework/TracingHost.h"
#include "framework/win32/DialogResource.h"
#include "framework/win32/Win32FolderLock.h"
#include "framework/win32/WinApi.h"

#include <algorithm>
#include <map>

namespace {

class Win32DialogHost final : public DialogHost {
  public:
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
    bool IsIconic() override;
    void PaintIconCentred(int iconId) override;
    void DefaultPaint() override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnInitDialog(HWND hwnd);
    static void Centre(HWND hwnd);
    INT_PTR OnPaint();
    HWND Control(int controlId) const { return GetDlgItem(m_hwnd, controlId); }
    static HICON BigIcon(int iconId);

    HWND m_hwnd = nullptr;
    CDialog* m_dialog = nullptr;
    bool m_ended = false;
    int m_iconId = 0;
    DialogResourceFacts m_facts;
    // Painting outcome of the current WM_PAINT: the dialog's own painting was asked for, or
    // the window was painted here.
    bool m_defaultPaint = false, m_painted = false;
    std::map<int, HBITMAP> m_bitmaps; // bitmaps we loaded, per control
};

HICON Win32DialogHost::BigIcon(int iconId) {
    return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId));
}

int Win32DialogHost::RunModal(CDialog& dialog) {
    m_dialog = &dialog;
    m_ended = false;
    m_facts = DialogResourceFacts();
    ReadDialogResourceFacts(dialog.GetTemplateId(), m_facts);

    INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialog.GetTemplateId()),
                        nullptr, &Win32DialogHost::DialogProc, reinterpret_cast<LPARAM>(this));

    for (auto& [id, bitmap] : m_bitmaps)
        DeleteObject(bitmap);
    m_bitmaps.clear();
    m_hwnd = nullptr;
    m_dialog = nullptr;
    return static_cast<int>(result);
}

INT_PTR CALLBACK Win32DialogHost::DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        return reinterpret_cast<Win32DialogHost*>(lParam)->OnInitDialog(hwnd);
    }
    auto* host = reinterpret_cast<Win32DialogHost*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!host || host->m_hwnd != hwnd)
        return FALSE;
    return host->Handle(message, wParam, lParam);
}

INT_PTR Win32DialogHost::OnInitDialog(HWND hwnd) {
    m_hwnd = hwnd;
    MarkFolderLockWindow(hwnd);
    char text[1024] = "";
    if (m_facts.statusControlId)
        GetDlgItemTextA(hwnd, m_facts.statusControlId, text, sizeof text);
    if (onOpened)
        onOpened({text, m_facts.initialBitmapId, m_facts.statusControlId, 0, 0});
    RECT before = {}, after = {};
    GetWindowRect(hwnd, &before);
    const INT_PTR result = m_dialog->InitDialog() ? TRUE : FALSE;
    // A dialog that did not place itself opens in the middle of its screen, where the message
    // boxes open too, not where the template's origin puts it.
    if (GetWindowRect(hwnd, &after) && EqualRect(&before, &after))
        Centre(hwnd);
    return result;
}

void Win32DialogHost::Centre(HWND hwnd) {
    RECT window;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetWindowRect(hwnd, &window) ||
        !GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor))
        return;
    const RECT& area = monitor.rcWork;
    // A window larger than the work area keeps its caption on it.
    const LONG x =
        area.left + std::max(0L, (area.right - area.left - window.right + window.left) / 2);
    const LONG y =
        area.top + std::max(0L, (area.bottom - area.top - window.bottom + window.top) / 2);
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR Win32DialogHost::Handle(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_TIMER:
        // A dialog that has been ended only waits for its loop to notice; nothing more runs.
        if (!m_ended)
            m_dialog->OnTimer(static_cast<unsigned>(wParam));
        return TRUE;
    case WM_COMMAND:
        if (m_ended || HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        if (LOWORD(wParam) == IDOK)
            m_dialog->OnOK();
        else if (LOWORD(wParam) == IDCANCEL)
            m_dialog->OnCancel();
        else
            return FALSE;
        return TRUE;
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(BigIcon(m_iconId));
    case WM_DESTROY:
        UnmarkFolderLockWindow(m_hwnd);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR Win32DialogHost::OnPaint() {
    m_defaultPaint = m_painted = false;
    m_dialog->OnPaint();
    if (m_defaultPaint)
        return FALSE;
    // A handler that painted nothing must still validate, or WM_PAINT would repeat forever.
    if (!m_painted)
        ValidateRect(m_hwnd, nullptr);
    return TRUE;
}

void Win32DialogHost::DefaultPaint() {
    m_defaultPaint = true;
}

bool Win32DialogHost::IsIconic() {
    return m_hwnd && ::IsIconic(m_hwnd);
}

void Win32DialogHost::PaintIconCentred(int iconId) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hwnd, &ps);
    SendMessageA(m_hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(m_hwnd, &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, BigIcon(iconId));
    EndPaint(m_hwnd, &ps);
    m_painted = true;
}

void Win32DialogHost::EndDialog(int result) {
    if (!m_hwnd)
        return;
    m_ended = true;
    ::EndDialog(m_hwnd, result);
}

void Win32DialogHost::SetTimer(unsigned id, unsigned elapseMs) {
    if (m_hwnd)
        ::SetTimer(m_hwnd, id, elapseMs, nullptr);
}

void Win32DialogHost::KillTimer(unsigned id) {
    if (m_hwnd)
        ::KillTimer(m_hwnd, id);
}

void Win32DialogHost::MessageBox(const std::string& text, const std::string& caption) {
    MessageBoxA(m_hwnd, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void Win32DialogHost::SetControlText(int controlId, const std::string& text) {
    SetWindowTextA(Control(controlId), text.c_str());
}

void Win32DialogHost::SetProgressRange(int controlId, int low, int high) {
    SendMessageA(Control(controlId), PBM_SETRANGE32, static_cast<WPARAM>(low), high);
}

void Win32DialogHost::SetProgressPos(int controlId, int pos) {
    SendMessageA(Control(controlId), PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

void Win32DialogHost::RedrawControl(int controlId) {
    RedrawWindow(Control(controlId), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void Win32DialogHost::SetControlBitmap(int controlId, int bitmapId) {
    // Grey shades become the system's 3-D colours, so the picture matches the dialog face.
    auto bitmap =
        static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapId),
                                        IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
    if (!bitmap)
        return;
    SendMessageA(Control(controlId), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
    auto previous = m_bitmaps.find(controlId);
    if (previous != m_bitmaps.end())
        DeleteObject(previous->second);
    m_bitmaps[controlId] = bitmap;
}

void Win32DialogHost::SetWindowIcon(int iconId) {
    m_iconId = iconId;
    HMODULE module = GetModuleHandleA(nullptr);
    HICON smallIcon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(iconId), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXSMICON),
                                                    GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    SendMessageA(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(BigIcon(iconId)));
    SendMessageA(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
}

} // namespace

DialogHost& PlatformDialogHost() {
    static Win32DialogHost host;
    static TracingHost traced(host, nullptr);
    return traced;
}
