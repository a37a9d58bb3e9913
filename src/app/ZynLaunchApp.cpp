// The application object.
#include "app/ZynLaunchApp.h"

#include "app/RunMode.h"
#include "launch/ZynLaunchDlg.h"
#include "res/resource.h"

bool CZynLaunchApp::InitInstance() {
    if (!AfxSocketInit()) {
        AfxMessageBox(AfxLoadString(IDS_SOCKETS_INIT_FAILED));
        SetExitCode(kLaunchFailed);
        return false;
    }
    EnableControlContainer();

    CZynLaunchDlg dlg;
    dlg.m_strBuildVersion = m_strVersion;
    switch (ParseRunMode(AfxGetFirstArgument())) {
    case RunMode::Stage1:
        dlg.m_bStage1 = 1;
        break;
    case RunMode::Stage2:
        dlg.m_bStage2 = 1;
        break;
    case RunMode::Config:
        dlg.m_bConfigMode = 1;
        break;
    case RunMode::Normal:
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
