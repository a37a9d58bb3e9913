// The launch sequence: one stage per timer, each killing the timer that ran it, doing its work,
// showing its progress and arming the next stage.
#include "launch/ZynLaunchDlg.h"

#include "config/Components.h"
#include "config/SystemStateFile.h"
#include "config/UserConfigFile.h"
#include "framework/System.h"
#include "net/StateSocket.h"

#include <string>

void CZynLaunchDlg::OnTimer(unsigned id) {
    // A launch being abandoned ignores its timers, without even killing them: the window that
    // owns them is about to go.
    if (m_bClosing == 1)
        return;
    if (id == kTransferTimer) {
        OnTransferTick();
        return;
    }
    KillTimer(id);
    switch (id) {
    case kStage1:
        RunStage1();
        break;
    case kStage2:
        RunStage2();
        break;
    case kStage3:
        RunStage3();
        break;
    case kStage4:
        RunStage4();
        break;
    case kStage5:
        RunStage5();
        break;
    case kStage6:
        RunStage6();
        break;
    case kStage7:
        RunStage7();
        break;
    case kStage8:
        RunStage8();
        break;
    default:
        CDialog::OnTimer(id);
        break;
    }
}

void CZynLaunchDlg::ReadUIChoice() {
    std::string text;
    if (!sys::ReadWholeFile(zyn::kUserConfigFileName, text) ||
        !zyn::FindUIChoice(text, m_strUIName))
        return;
    if (!sys::ReadWholeFile(zyn::kSystemStateFileName, text))
        return;
    zyn::FindUIEntry(text, m_strUIName, m_strUIComponent, m_strUIExecutable);
}

void CZynLaunchDlg::RunStage1() {
    ReadUIChoice();
    SetProgress(10);
    ReadSystemState();
    SetStatusText("evaluating local ip conditions..");
    CheckEngineNotRunning();
    SetTimer(kStage2, 500);
}

void CZynLaunchDlg::RunStage2() {
    if (!IsLaunchActive())
        return;
    SetProgress(20);
    SetStatusText("downloading system state..");
    RequestSystemState();
    // All the time the retrieval gets: stage 3 drops whatever is still under way.
    SetTimer(kStage3, 3000);
}

void CZynLaunchDlg::RunStage3() {
    if (!IsLaunchActive())
        return;
    m_pStateSocket.reset();
    // Both self-update steps let the stage run on: the close they may ask for takes effect
    // when this notification returns.
    if (m_bStage1 == 1)
        ReplaceLauncher();
    if (m_bStage2 == 1)
        RemoveTemporaryLauncher();
    // No file of this launch is being written now: the retrieval has ended.
    RemoveLeftovers();
    SetProgress(40);
    SetStatusText("processing system directives..");
    ClearServerLists();
    ReadSystemState();
    CheckComponentVersions();
    SetTimer(kStage4, 300);
}

void CZynLaunchDlg::RunStage4() {
    if (!IsLaunchActive())
        return;
    SetProgress(60);
    SetStatusText("evaluating zyn dependencies");
    CheckDependencies();
    SetTimer(kStage5, 300);
}

// The label a queued file is shown under; a later match replaces an earlier one.
static std::string DownloadLabel(const std::string& fileName, const std::string& uiExecutable) {
    std::string label;
    if (fileName == zyn::kEngineFile)
        label = "zynEngine package";
    if (fileName == uiExecutable)
        label = "zynUserInterface package";
    if (fileName == zyn::kNetworkServicesFile)
        label = "zynNetworkServices package";
    if (fileName == zyn::kConfigToolFile)
        label = "zynConfig package";
    if (fileName == zyn::kTemporaryLauncherFile)
        label = "zynLaunch package";
    return label;
}

void CZynLaunchDlg::RunStage5() {
    if (!IsLaunchActive())
        return;
    while (!m_strDownloadQueue.empty()) {
        const size_t end = m_strDownloadQueue.find(';');
        const std::string fileName = m_strDownloadQueue.substr(0, end);
        m_strDownloadQueue =
            end == std::string::npos ? std::string() : m_strDownloadQueue.substr(end + 1);
        SetStatusText("downloading " + DownloadLabel(fileName, m_strUIExecutable) + "..");
        // The download's end runs this stage again; no timer is armed meanwhile.
        if (StartDownload(fileName))
            return;
        // No mirror took the request: the file has failed already, and the next one is due.
        ReportDownloadFailure();
    }
    if (!VerifyComponents()) {
        MessageBox("Zyn failed to download one or more components - please restart Zyn to "
                   "download these components.");
        CloseLauncher();
    }
    // A copy that did not arrive whole in this run is no launcher to hand over to.
    if (m_bUpdateLauncher == 1 && m_bLauncherDownloaded == 1)
        HandOverToTemporaryLauncher();
    m_progress.SetRange(0, 100);
    SetProgress(80);
    SetStatusText("scanning " + std::to_string(m_deepServers.GetCount()) +
                  " deep resolution servers..");
    ScanDeepServers();
    // The time the deep resolution servers have to answer before the engine's arguments are
    // built.
    SetTimer(kStage6, 1000);
}

void CZynLaunchDlg::RunStage6() {
    if (!IsLaunchActive())
        return;
    SetProgress(90);
    if (m_orbitalServers.IsEmpty()) {
        ShowFatalError("No orbital servers are available - please close Zyn and try again later.");
        m_bClosing = 1;
        CloseLauncher();
        return;
    }
    PrepareEngineLaunch();
    if (m_bConfigMode == 1) {
        SetStatusText("starting zynConfig..");
        StartConfigTool();
        CloseLauncher();
        return;
    }
    if (m_bStartEngine == 1) {
        SetStatusText("starting zynEngine..");
        StartEngine();
    }
    SetTimer(kStage7, 1000);
}

void CZynLaunchDlg::RunStage7() {
    if (!IsLaunchActive())
        return;
    SetProgress(100);
    if (m_bStartUI == 1) {
        SetStatusText("starting zynUI");
        StartUI();
    }
    SetTimer(kStage8, 500);
}

void CZynLaunchDlg::RunStage8() {
    if (!IsLaunchActive())
        return;
    SetStatusText("closing zynLaunch..");
    CloseLauncher();
}
