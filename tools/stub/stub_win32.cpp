// Stub component, Windows side: the raw command line exactly as the parent passed it to
// CreateProcessA, which is what the launch tests compare byte for byte.
#include "stub.h"

#include <windows.h>

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

std::string CurrentDirectory() {
    char dir[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(MAX_PATH, dir);
    return (n > 0 && n < MAX_PATH) ? std::string(dir, n) : std::string("?");
}

} // namespace stub

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return stub::Run(0, nullptr);
}
