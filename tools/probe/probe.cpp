// probe.exe: a small UI probe that tests run under Wine beside the Windows launcher. It finds
// windows by caption, reads and drives them from outside and takes no part in a launch.
//
//   probe wait <caption> <timeoutMs>     waits for a top-level window with that caption
//   probe read <caption> [timeoutMs]     waits (default: not at all) for the window, then
//                                        prints the launch window's state, one "key value" a
//                                        line: status (text of control 1001), low and high
//                                        (progress range), pos (progress position), client
//                                        (client area WxH), picture (control 1002's WxH),
//                                        picture_at (its top left corner on the screen: X Y),
//                                        frame and work_area (the window's and the screen's
//                                        work area: left top right bottom), front (1 when it,
//                                        or a box it owns, is in front and not minimised)
//   probe escape <caption>               presses Escape in that window
//   probe enter <caption>                presses Enter in that window
//   probe close <caption>                clicks the window's close box
//   probe answer <caption> <timeoutMs>   waits for a message box with that caption, prints its
//                                        text and presses OK
//   probe press <caption> <button> [timeoutMs]
//                                        waits (default 5000 ms) for a window with that caption
//                                        and clicks its button labelled <button>
//   probe minimise <caption>             minimises the window; "restore" restores it
//
// Exit status: 0 done, 1 no such window (in time), 2 wrong usage.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

struct ButtonSearch {
    const char* label;
    HWND found;
};

BOOL CALLBACK MatchButton(HWND child, LPARAM lParam) {
    auto* search = reinterpret_cast<ButtonSearch*>(lParam);
    char className[64] = "";
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Button") != 0)
        return TRUE;
    std::string label;
    for (char c : TextOf(child))
        if (c != '&')
            label += c;
    if (lstrcmpiA(label.c_str(), search->label) == 0) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

bool Press(HWND window, const char* label) {
    ButtonSearch search = {label, nullptr};
    EnumChildWindows(window, MatchButton, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return false;
    int id = GetDlgCtrlID(search.found);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(search.found));
    return true;
}

std::string Size(HWND window) {
    RECT r = {};
    GetClientRect(window, &r);
    return std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

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

int Usage() {
    std::fprintf(stderr, "usage: probe wait|read|escape|enter|close|answer|press|minimise|"
                         "restore <caption> [...]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return Usage();
    std::string command = argv[1];
    const char* caption = argv[2];
    DWORD timeoutMs = 0;
    if (command == "read" && argc > 3) {
        timeoutMs = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));
    } else if (command == "wait" || command == "answer") {
        if (argc < 4)
            return Usage();
        timeoutMs = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));
    } else if (command == "press") {
        if (argc < 4)
            return Usage();
        timeoutMs = argc > 4 ? static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10)) : 5000;
    }
    HWND window = WaitForWindow(caption, timeoutMs);
    if (!window) {
        std::fprintf(stderr, "probe: no window \"%s\"\n", caption);
        return 1;
    }

    if (command == "wait")
        return 0;
    if (command == "read")
        return Read(window);
    if (command == "escape")
        Key(window, VK_ESCAPE);
    else if (command == "enter")
        Key(window, VK_RETURN);
    else if (command == "close")
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    else if (command == "minimise")
        // Not the system menu's command, which a window disabled by its modal box ignores.
        ShowWindow(window, SW_MINIMIZE);
    else if (command == "restore")
        ShowWindow(window, SW_RESTORE);
    else if (command == "answer") {
        PrintLine("", TextOf(GetDlgItem(window, kMessageTextId)));
        return Press(window, "OK") ? 0 : 1;
    } else if (command == "press")
        return Press(window, argv[3]) ? 0 : 1;
    else
        return Usage();
    return 0;
}
