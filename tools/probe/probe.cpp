// probe.exe: the UI probe that tests run under Wine beside the Windows launcher. It finds a window
// by caption, reads and drives it from outside: wait|escape|enter|close|minimise CAPTION, answer
// CAPTION MS (a message box's text, then OK), read CAPTION [MS]. Exit status 1: no such window.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kStatusId = 1001;
constexpr int kProgressId = 1000;
constexpr int kPictureId = 1002;
constexpr int kMessageTextId = 0xFFFF; // the text of a system message box
constexpr UINT kReplyTimeoutMs = 2000;

HWND WaitForWindow(const char* caption, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowA(nullptr, caption);
        if (window && IsWindowVisible(window))
            return window;
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

// Asks another process's window; a hung window gives 0 rather than hanging the probe.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kReplyTimeoutMs,
                        &result);
    return static_cast<LRESULT>(result);
}

std::string TextOf(HWND window) {
    char text[4096] = "";
    Ask(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// Writes a text on one line, a line break as the two characters \n (as the trace does).
void PrintLine(const char* key, const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\n')
            line += "\\n";
        else if (c != '\r')
            line += c;
    }
    std::printf("%s%s%s\n", key, *key ? " " : "", line.c_str());
}

void Key(HWND window, WPARAM key) {
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

// Clicks a message box's OK button.
bool PressOk(HWND box) {
    HWND button = GetDlgItem(box, IDOK);
    if (!button)
        return false;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

std::string Size(HWND window) {
    RECT r = {};
    GetClientRect(window, &r);
    return std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// "key value" lines: status, low, high, pos (the bar), client and picture (WxH), picture_at (X Y),
// frame and work_area (left top right bottom), front (1: it or its box in front, not minimised).
int Read(HWND window) {
    HWND progress = GetDlgItem(window, kProgressId);
    PrintLine("status", TextOf(GetDlgItem(window, kStatusId)));
    // With no buffer, PBM_GETRANGE answers with one limit: the low one for TRUE.
    std::printf("low %ld\n", static_cast<long>(Ask(progress, PBM_GETRANGE, TRUE, 0)));
    std::printf("high %ld\n", static_cast<long>(Ask(progress, PBM_GETRANGE, FALSE, 0)));
    std::printf("pos %ld\n", static_cast<long>(Ask(progress, PBM_GETPOS, 0, 0)));
    PrintLine("client", Size(window));
    PrintLine("picture", Size(GetDlgItem(window, kPictureId)));
    POINT corner = {0, 0};
    ClientToScreen(GetDlgItem(window, kPictureId), &corner);
    std::printf("picture_at %ld %ld\n", static_cast<long>(corner.x), static_cast<long>(corner.y));
    RECT frame = {}, area = {};
    GetWindowRect(window, &frame);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    std::printf("frame %ld %ld %ld %ld\n", frame.left, frame.top, frame.right, frame.bottom);
    std::printf("work_area %ld %ld %ld %ld\n", area.left, area.top, area.right, area.bottom);
    // A message box of the window's in front counts as the window in front.
    HWND front = GetForegroundWindow();
    std::printf("front %d\n",
                front && GetAncestor(front, GA_ROOTOWNER) == window && !IsIconic(window));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: probe wait|read|escape|enter|close|minimise|answer CAPTION "
                             "[MS]\n");
        return 2;
    }
    const std::string command = argv[1];
    HWND window = WaitForWindow(argv[2], argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 0);
    if (!window) {
        std::fprintf(stderr, "probe: no window \"%s\"\n", argv[2]);
        return 1;
    }
    if (command == "read")
        return Read(window);
    if (command == "answer") {
        PrintLine("", TextOf(GetDlgItem(window, kMessageTextId)));
        return PressOk(window) ? 0 : 1;
    }
    if (command == "escape")
        Key(window, VK_ESCAPE);
    else if (command == "enter")
        Key(window, VK_RETURN);
    else if (command == "close")
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    else if (command == "minimise")
        // Not the system menu's command, which a window disabled by its modal box ignores.
        ShowWindow(window, SW_MINIMIZE);
    return 0;
}
