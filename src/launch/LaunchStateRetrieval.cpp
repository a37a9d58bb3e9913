// Stage 2's fetch of a fresh system state from one of the update servers, and the rewrite of
// "zynSystemConfig.txt" with a valid reply that the launcher's trusted keys vouch for.
#include "launch/ZynLaunchDlg.h"

#include "config/StateBody.h"
#include "config/StateSignature.h"
#include "config/SystemStateFile.h"
#include "framework/System.h"
#include "net/RandomRange.h"
#include "net/StateSocket.h"

void CZynLaunchDlg::RequestSystemState() {
    // Without an update server there is nothing to ask; the launch goes on with the file.
    if (m_updateURLs.IsEmpty())
        return;
    m_pStateSocket = std::make_unique<CStateSocket>(this, 1);
    const int index = zyn::ChooseEntryIndex(m_updateURLs.GetCount(), ShowMessage());
    m_pStateSocket->RequestUrl(m_updateURLs.GetAt(index) + "clientgetconfig.php",
                               GetTransferSettings());
    if (m_pStateSocket->IsUnderWay())
        SetTimer(kTransferTimer, CHttpTransfer::kTickMs);
}

void CZynLaunchDlg::OnSystemStateReceived(CStateSocket* socket, const std::string& body, int kind) {
    // The socket that reports is the one the window holds: it goes now, as it returns.
    if (socket != m_pStateSocket.get())
        delete socket;
    m_pStateSocket.reset();
    if (kind != 1)
        return;
    std::string text;
    if (!IsTrustedState(body) || !zyn::RewriteStateBody(body, text))
        return;
    // Whole or not at all: a crash or a full disk leaves the previous state in place.
    sys::WriteWholeFile(zyn::kSystemStateFileName, text);
}

bool CZynLaunchDlg::IsTrustedState(const std::string& body) {
    // A program built without keys takes every state, and needs nothing from the disk.
    if (m_trustedKeys.empty())
        return true;
    // A state on disk that cannot be read sets no floor: the fetched one is still signed.
    std::string onDisk, installed;
    std::optional<uint64_t> serial;
    if (sys::ReadWholeFile(zyn::kSystemStateFileName, onDisk)) {
        installed = zyn::StateTextOfFile(onDisk);
        serial = zyn::ReadTrustEntries(installed).serial;
    }
    const zyn::StateVerdict verdict =
        zyn::JudgeStateBody(body, m_trustedKeys, serial, sys::ReadCalendarTime(), installed);
    if (verdict == zyn::StateVerdict::Accepted)
        return true;
    TraceNote(std::string("the fetched system state is refused: ") +
              zyn::StateVerdictText(verdict));
    return false;
}
