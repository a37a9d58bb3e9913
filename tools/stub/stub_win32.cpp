// Stub component, Windows side: the raw command line exactly as the parent passed it to
// CreateProcessA, which is what the launch tests compare byte for byte, and the words the C
// runtime made of it.
#include "stub.h"

#include <windows.h>

#include <cstdlib>

namespace stub {

std::string ProgramName() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string full(path, n);
    return full.substr(full.find_last_of("\\/") + 1);
}

std::string CommandLine(int, char**) {
    return GetCommandLineA();
}

std::string MoreFields(int argc, char** argv) {
    return '\t' + JoinWords(argc, argv);
}

// In UTF-8, so that a folder whose name the ANSI code page cannot write still shows.
std::string CurrentDirectory() {
    wchar_t dir[MAX_PATH];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH, dir);
    char text[4 * MAX_PATH];
    const int length = n > 0 && n < MAX_PATH ? WideCharToMultiByte(CP_UTF8, 0, dir, n, text,
                                                                   sizeof text, nullptr, nullptr)
                                             : 0;
    return length > 0 ? std::string(text, length) : std::string("?");
}

} // namespace stub

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return stub::Run(__argc, __argv);
}
