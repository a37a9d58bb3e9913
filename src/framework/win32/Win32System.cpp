// System services on Windows besides files: detached processes through CreateProcessW with the
// program's full wide path, the user's proxy setting in the registry.
#include "framework/System.h"

#include "framework/win32/WideText.h"
#include "framework/win32/WinApi.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace sys {

namespace {

// The system's text for an error, on one line and without its closing full stop.
std::string ErrorText(DWORD error, const std::string& file) {
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, sizeof text, nullptr);
    std::string reason = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
    // Some texts name the file as "%1" ("%1 is not a valid Win32 application.").
    for (size_t at = reason.find("%1"); at != std::string::npos;
         at = reason.find("%1", at + file.size())) {
        reason.replace(at, 2, file);
    }
    while (!reason.empty() && std::strchr(" .\r\n", reason.back()))
        reason.pop_back();
    return reason;
}

} // namespace

bool StartProcess(const std::string& program, const std::string& commandLine,
                  const std::string& currentDirectory, std::string& failure) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    // The command line goes as the 8-bit text it is, read in the ANSI code page, so the child
    // reads back the same bytes; CreateProcessW may write into it, so it gets a copy.
    std::wstring line = WidenAnsi(commandLine);
    line.push_back(L'\0');
    // The program is named outright, so that the file started is the one the launch checked
    // in the current directory: left to the command line, Windows would look in the
    // launcher's own folder first. Its path and the child's directory are wide: in 8 bits, a
    // folder whose name the code page cannot write would not be found.
    const std::wstring application = FullWidePath(program);
    const std::wstring directory = FullWidePath(currentDirectory);
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, directory.c_str(),
                        &startup, &process)) {
        failure = ErrorText(GetLastError(), program);
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

ProxySetting ReadProxySetting() {
    ProxySetting setting;
    char server[1024] = {};
    DWORD enabled = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER,
                      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                      KEY_READ, &key) == ERROR_SUCCESS) {
        // A value that could not be read leaves its zero start value, whatever the call wrote.
        DWORD size = sizeof server;
        if (RegQueryValueExA(key, "ProxyServer", nullptr, nullptr, reinterpret_cast<BYTE*>(server),
                             &size) != ERROR_SUCCESS)
            std::memset(server, 0, sizeof server);
        size = sizeof enabled;
        if (RegQueryValueExA(key, "ProxyEnable", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(&enabled), &size) != ERROR_SUCCESS)
            enabled = 0;
        // The list of hosts reached directly has no bound of its own: it is read at its length.
        std::vector<char> bypass;
        size = 0;
        if (RegQueryValueExA(key, "ProxyOverride", nullptr, nullptr, nullptr, &size) ==
                ERROR_SUCCESS &&
            size > 0) {
            bypass.assign(size + 1, '\0');
            if (RegQueryValueExA(key, "ProxyOverride", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(bypass.data()), &size) == ERROR_SUCCESS)
                setting.proxyOverride.assign(bypass.data(), strnlen(bypass.data(), bypass.size()));
        }
        RegCloseKey(key);
    }
    // A value that filled the whole buffer has no terminating zero of its own.
    setting.server.assign(server, strnlen(server, sizeof server));
    setting.enabled = enabled;
    return setting;
}

} // namespace sys
