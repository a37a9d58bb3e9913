// Starting the product's programs, and the guard that refuses a launch while an engine runs.
#include "launch/ZynLaunchDlg.h"

#include "config/Components.h"

#include "framework/AsyncSocket.h"
#include "framework/System.h"

bool CZynLaunchDlg::StartProcess(const std::string& program, const std::string& commandLine,
                                 const std::string& directory, std::string& failure) {
    return sys::StartProcess(program, commandLine, directory, failure);
}

bool CZynLaunchDlg::StartProgram(const std::string& program, const std::string& commandLine) {
    std::string failure;
    if (StartProcess(program, commandLine, ".", failure))
        return true;
    // Going on would end the launch as if all had gone well while nothing runs.
    ShowFatalError("Zyn could not start " + program + " (" + failure + ").");
    return false;
}

bool CZynLaunchDlg::StartEngine() {
    return StartProgram(zyn::kEngineFile, std::string(zyn::kEngineFile) + " " + m_strEngineArgs);
}

bool CZynLaunchDlg::StartUI() {
    // The whole name is the file, blanks and all, though the child sees it split into words.
    return StartProgram(m_strUIExecutable, m_strUIExecutable);
}

void CZynLaunchDlg::StartConfigTool() {
    StartProgram(zyn::kConfigToolFile, zyn::kConfigToolFile);
}

void CZynLaunchDlg::CheckEngineNotRunning() {
    // A running engine holds this port; being unable to bind it is the only test made.
    const unsigned kEnginePort = 34522;
    CAsyncSocket guard;
    const bool created = guard.Create(kEnginePort, SOCK_DGRAM_TYPE, FD_ALL_EVENTS);
    // Freed before the message, so the port is not held by us while the box is open.
    guard.Close();
    if (!created)
        ShowFatalError("A running zynEngine was detected on this computer already. Please close "
                       "the existing zyn engine by right clicking it on the taskbar.");
}
