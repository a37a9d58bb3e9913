// The launch window's own operations: start-up, painting, and the calls through which the
// other parts report progress, fatal errors and deep resolver answers.
#include "launch/ZynLaunchDlg.h"

#include "config/ProxyServer.h"
#include "config/TrustedKeys.h"
#include "framework/System.h"
#include "net/DeepResolverSocket.h"
#include "net/DownloadSocket.h"
#include "net/StateSocket.h"
#include "res/resource.h"

CZynLaunchDlg::CZynLaunchDlg()
    : CDialog(IDD_ZYNLAUNCH_DIALOG), m_trustedKeys(zyn::TrustedKeys()), m_hIcon(IDR_MAINFRAME) {}

CZynLaunchDlg::~CZynLaunchDlg() {
    // A window dismissed in mid-launch may still own its sockets; they go with it.
}

void CZynLaunchDlg::DoDataExchange() {
    DDX_Control(IDC_PICTURE, m_picture);
    DDX_Control(IDC_PROGRESS, m_progress);
    DDX_Control(IDC_STATUS, m_status);
}

bool CZynLaunchDlg::OnInitDialog() {
    SetIcon(m_hIcon);

    m_proxyRules = zyn::ReadProxyRules(sys::ReadProxySetting());
    m_strProxyHost = m_proxyRules.http.host;
    m_nProxyPort = m_proxyRules.http.port;

    m_bClosing = 0;

    m_pDeepResolverSocket = std::make_unique<CDeepResolverSocket>();
    m_pDeepResolverSocket->m_pOwner = this;

    m_progress.SetRange(0, 100);
    SetTimer(kStage1, 1000);
    return true;
}

zyn::TransferSettings CZynLaunchDlg::GetTransferSettings() const {
    zyn::TransferSettings settings{m_proxyRules, m_strBuildVersion};
    settings.proxies.http.host = m_strProxyHost;
    settings.proxies.http.port = m_nProxyPort;
    return settings;
}

void CZynLaunchDlg::OnPaint() {
    if (IsIconic())
        PaintIconCentred(m_hIcon);
    else
        CDialog::OnPaint();
}

// Enter must not end the launch.
void CZynLaunchDlg::OnOK() {}

void CZynLaunchDlg::SetStatusText(const std::string& text) {
    m_status.SetWindowText(text);
}

void CZynLaunchDlg::SetProgress(int pos) {
    m_progress.SetPos(pos);
}

void CZynLaunchDlg::ShowFatalError(const std::string& message) {
    // Set before the box: its nested loop keeps delivering timers, which must find the launch
    // abandoned.
    m_bClosing = 1;
    MessageBox(message);
    CloseLauncher();
}

bool CZynLaunchDlg::IsLaunchActive() const {
    return m_bClosing != 1;
}

void CZynLaunchDlg::CloseLauncher() {
    m_pDeepResolverSocket.reset();
    EndDialog(0);
}

void CZynLaunchDlg::OnDeepServerFound(const std::string& server, const std::string& deepIP,
                                      int deepPort) {
    m_picture.SetBitmap(IDB_PICTURE_FOUND);
    m_strDeepIP = deepIP;
    m_nDeepPort = deepPort;
    m_strDeepServer = server;
}
