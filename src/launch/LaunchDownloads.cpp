// Stage 5's downloads: one client per queued file, held to the digest the state lists for it,
// the mirrors tried in turn when one fails, the failure reported once per run, and the stall
// ticks for every transfer under way.
#include "launch/ZynLaunchDlg.h"

#include "net/ComponentName.h"
#include "net/DownloadSocket.h"
#include "net/HttpUrl.h"
#include "net/RandomRange.h"
#include "net/StateSocket.h"

bool CZynLaunchDlg::StartDownload(const std::string& fileName) {
    m_strDownloadFile = fileName;
    if (!MayDownload(fileName))
        return false;
    m_nDownloadChoice = zyn::ChooseEntryIndex(m_downloadURLs.GetCount(), ShowMessage());
    m_nDownloadOffset = 0;
    return StartNextMirror();
}

// The name comes from the fetched system state: one that could leave the folder, or that names
// one of the launcher's own files, is never requested. A keyed launcher fetches only files whose
// digest its state lists, so that every byte it installs is vouched for by its keys.
bool CZynLaunchDlg::MayDownload(const std::string& fileName) {
    if (!zyn::IsSafeComponentName(fileName))
        return false;
    if (m_trustedKeys.empty() || m_trustEntries.FindDigest(fileName))
        return true;
    TraceNote(fileName + ": the system state lists no digest for it; not downloaded");
    return false;
}

// From the chosen mirror on, each once.
bool CZynLaunchDlg::StartNextMirror() {
    const int count = m_downloadURLs.GetCount();
    for (; m_nDownloadOffset < count; ++m_nDownloadOffset) {
        const std::string& mirror =
            m_downloadURLs.GetAt((m_nDownloadChoice + m_nDownloadOffset) % count);
        auto client = std::make_unique<CDownloadSocket>();
        client->SetProgressCtrl(&m_progress);
        client->SetOwner(this);
        // A blank, "%" or "#" in the name is part of the name, and is sent as such.
        client->SetUrl(mirror + zyn::EncodePathSegment(m_strDownloadFile));
        client->SetExpectedDigest(m_trustEntries.FindDigest(m_strDownloadFile));
        if (client->StartDownload(GetTransferSettings())) {
            m_pDownloadSocket = std::move(client);
            SetTimer(kTransferTimer, CHttpTransfer::kTickMs);
            return true;
        }
    }
    return false;
}

void CZynLaunchDlg::ReportDownloadFailure() {
    if (m_bDownloadFailureShown == 1)
        return;
    m_bDownloadFailureShown = 1;
    MessageBox("The download failed");
}

void CZynLaunchDlg::ReleaseDownload(CDownloadSocket* client) {
    if (client == m_pDownloadSocket.get())
        m_pDownloadSocket.reset();
    else
        delete client;
}

void CZynLaunchDlg::OnDownloadFinished(CDownloadSocket* client) {
    if (client) {
        if (client->GetFileName() == zyn::kTemporaryLauncherFile)
            m_bLauncherDownloaded = 1;
        ReleaseDownload(client);
    }
    OnTimer(kStage5);
}

void CZynLaunchDlg::OnDownloadFailed(CDownloadSocket* client) {
    ReleaseDownload(client);
    if (!IsLaunchActive())
        return;
    ++m_nDownloadOffset;
    if (StartNextMirror())
        return;
    ReportDownloadFailure();
    // The final check of stage 5 then tells what is missing.
    OnTimer(kStage5);
}

void CZynLaunchDlg::OnTransferTick() {
    // A tick may end a download, whose report may start the next one.
    if (m_pStateSocket)
        m_pStateSocket->OnIdleTick();
    if (m_pDownloadSocket)
        m_pDownloadSocket->OnIdleTick();
    const bool stateUnderWay = m_pStateSocket && m_pStateSocket->IsUnderWay();
    if (!stateUnderWay && !m_pDownloadSocket)
        KillTimer(kTransferTimer);
}
