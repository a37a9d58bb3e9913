// Starting the product's programs, and the guard that refuses a launch while an engine runs.
#include "launch/ZynLaunchDlg.h"

#include "AsyncSocket.h"
#include "System.h"

bool CZynLaunchDlg::StartProcess(const std::string& commandLine, const std::string& directory) {
    return sys::StartProcess(commandLine, directory);
}

bool CZynLaunchDlg::StartEngine() {
    return StartProcess("zynEngine.exe " + m_strEngineArgs, ".");
}

bool CZynLaunchDlg::StartUI() {
    return StartProcess(m_strUIExecutable, ".");
}

void CZynLaunchDlg::StartConfigTool() {
    StartProcess("zynConfig.exe", ".");
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
