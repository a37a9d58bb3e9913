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

std::string CurrentDirectory() {
    char dir[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(MAX_PATH, dir);
    return (n > 0 && n < MAX_PATH) ? std::string(dir, n) : std::string("?");
}

} // namespace stub

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return stub::Run(__argc, __argv);
}
