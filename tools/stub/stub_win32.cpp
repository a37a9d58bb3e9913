// Stub component, Windows side: the raw command line exactly as the parent passed it to
// CreateProcessA, which the launch tests compare byte for byte, and the words the C runtime made.
#include "stub.h"

#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH];
    const std::string program(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    // The current directory in UTF-8, so that a name the ANSI code page cannot write shows.
    wchar_t dir[MAX_PATH];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH, dir);
    char text[4 * MAX_PATH];
    const int length = n > 0 && n < MAX_PATH ? WideCharToMultiByte(CP_UTF8, 0, dir, n, text,
                                                                   sizeof text, nullptr, nullptr)
                                             : 0;
    return stub::Log(program.substr(program.find_last_of("\\/") + 1) + '\t' + GetCommandLineA() +
                     '\t' + (length > 0 ? std::string(text, length) : "?") + '\t' +
                     stub::JoinWords(__argc, __argv) + '\n');
}
