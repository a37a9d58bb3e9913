// The application object.
#include "app/ZynLaunchApp.h"

#include "app/RunMode.h"
#include "framework/FolderLock.h"
#include "launch/ZynLaunchDlg.h"
#include "res/resource.h"

bool CZynLaunchApp::InitInstance() {
    const zyn::RunMode mode = zyn::ParseRunMode(AfxGetFirstArgument());
    // Two launches in one folder would write the same files and start the engine twice. A
    // self-update step is started by the run before it, which ends just after: that step
    // waits for it to go, the launcher a user started does not wait.
    sys::FolderLock lock;
    const unsigned kHandOverWaitMs = 15000;
    if (!lock.Take(mode == zyn::RunMode::Stage1 || mode == zyn::RunMode::Stage2 ? kHandOverWaitMs
                                                                                : 0)) {
        sys::ShowFolderLockHolder(AfxGetAppName() + ": a launch is already running in this folder");
        SetExitCode(kLaunchFailed);
        return false;
    }
    if (!AfxSocketInit()) {
        AfxMessageBox(AfxLoadString(IDS_SOCKETS_INIT_FAILED));
        SetExitCode(kLaunchFailed);
        return false;
    }
    EnableControlContainer();

    CZynLaunchDlg dlg;
    dlg.m_strBuildVersion = m_strVersion;
    switch (mode) {
    case zyn::RunMode::Stage1:
        dlg.m_bStage1 = 1;
        break;
    case zyn::RunMode::Stage2:
        dlg.m_bStage2 = 1;
        break;
    case zyn::RunMode::Config:
        dlg.m_bConfigMode = 1;
        break;
    case zyn::RunMode::Normal:
        break;
    }

    const int result = dlg.DoModal();
    // Every error of a launch ends it through a message box, and a window that could not be
    // run at all is no success either.
    if (result == IDCANCEL)
        SetExitCode(kLaunchDismissed);
    else if (dlg.GetMessageBoxCount() > 0 || result < 0)
        SetExitCode(kLaunchFailed);
    else
        SetExitCode(kLaunchDone);
    return false;
}
