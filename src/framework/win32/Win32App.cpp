// The application services on Windows: the socket service, the first argument as the C runtime
// split it, the program name (from its wide path), string resources, common controls. Leaves
// out: a message loop of its own (the program ends when InitInstance returns).
#include "framework/App.h"

#include "framework/win32/WideText.h"
#include "framework/win32/WinApi.h"

#include <cstdlib>

void CWinApp::EnableControlContainer() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

std::string AfxGetAppName() {
    // Wide, and cut at the last separator before it becomes 8 bits: the folder's name may be
    // longer than MAX_PATH or hold characters that the code page writes with a backslash byte.
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    std::wstring name = path.substr(path.find_last_of(L"\\/:") + 1);
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.erase(dot);
    return NarrowAnsi(name);
}

bool AfxSocketInit() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return false;
    // A service that cannot speak 1.1 is no service for us: give it back.
    if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != 1) {
        WSACleanup();
        return false;
    }
    return true;
}

std::string AfxGetFirstArgument() {
    return __argc > 1 && __argv && __argv[1] ? std::string(__argv[1]) : std::string();
}

std::string AfxLoadString(int id) {
    char text[1024] = "";
    int length = LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), text, sizeof text);
    return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}
