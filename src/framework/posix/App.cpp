// The application services on Linux: the program's name as it was started (a copy keeps its
// own), the first argument as the shell split it, string resources, the socket service (only
// SIGPIPE needs taming). Leaves out: control hosting (nothing to switch on in a terminal).
#include "framework/App.h"

#include "framework/DialogHost.h"
#include "framework/DialogTemplate.h"
#include "framework/posix/ProgramArguments.h"

#include <csignal>
#include <string>
#include <unistd.h>

namespace {
std::string g_programPath;
std::string g_firstArgument;

std::string BaseNameWithoutExtension(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot != 0)
        name.erase(dot);
    return name;
}
} // namespace

void SetProgramArguments(int argc, char** argv) {
    g_programPath = argc > 0 && argv[0] ? argv[0] : "";
    g_firstArgument = argc > 1 && argv[1] ? argv[1] : "";
}

void CWinApp::EnableControlContainer() {}

std::string AfxGetAppName() {
    if (!g_programPath.empty())
        return BaseNameWithoutExtension(g_programPath);
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? BaseNameWithoutExtension(std::string(path, static_cast<size_t>(n))) : "";
}

bool AfxSocketInit() {
    // A peer that has gone must give a send error, not end the program.
    signal(SIGPIPE, SIG_IGN);
    return true;
}

std::string AfxGetFirstArgument() {
    return g_firstArgument;
}

std::string AfxLoadString(int id) {
    const char* text = FindStringResource(id);
    return text ? text : "";
}
