// The launch window: the whole state of one launch, the window operations through which every
// part reports, and the timed launch sequence.
#pragma once

#include "config/Components.h"
#include "config/TrustEntries.h"
#include "framework/Controls.h"
#include "framework/Crypto.h"
#include "framework/Dialog.h"
#include "framework/StringList.h"
#include "net/DeepResolverSocket.h"
#include "net/DownloadSocket.h"
#include "net/HttpTransfer.h"
#include "net/LaunchEvents.h"
#include "net/ProxyRules.h"
#include "net/RandomRange.h"
#include "net/StateSocket.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

class CZynLaunchDlg : public CDialog, public CLaunchEvents {
  public:
    CZynLaunchDlg();
    ~CZynLaunchDlg() override;

    // Window operations.
    void OnOK() override;
    void OnTimer(unsigned id) override;
    void OnPaint() override;
    int OnQueryDragIcon() const { return m_hIcon; }
    void SetStatusText(const std::string& text);
    void SetProgress(int pos);
    void ShowFatalError(const std::string& message);
    bool IsLaunchActive() const;
    void CloseLauncher();
    void OnDownloadFinished(CDownloadSocket* client) override;
    void OnDownloadFailed(CDownloadSocket* client) override;
    void OnDeepServerFound(const std::string& server, const std::string& deepIP,
                           int deepPort) override;
    void OnTransferNote(const std::string& text) override { TraceNote(text); }

    // Configuration files.
    void ReadSystemState();
    void ClearServerLists();
    void PrepareEngineLaunch();
    void BuildEngineArgs();
    void AppendEngineOption(const std::string& text);

    // Components and processes. StartProcess is the one way out to the system's process
    // start, and virtual so that tests can see the starts without starting anything. `program`
    // is the file that runs, named as the launch checked it; the child is given `commandLine`.
    // A failed start leaves the system's reason in `failure`.
    virtual bool StartProcess(const std::string& program, const std::string& commandLine,
                              const std::string& directory, std::string& failure);
    bool StartEngine();
    bool StartUI();
    void StartConfigTool();
    void CheckEngineNotRunning();
    void ReplaceLauncher();
    void RemoveTemporaryLauncher();
    void HandOverToTemporaryLauncher();
    // What a launch cut short (a killed process, a power loss) left behind.
    void RemoveLeftovers();
    bool GetFileVersionString(const std::string& fileName, char* buffer, size_t size);
    static std::string NormaliseVersion(const std::string& version);
    void CheckComponentVersions();
    void CheckDependencies();
    void QueueDownload(const std::string& fileName);
    bool VerifyComponents();

    // Network.
    // The proxies of the user's setting, m_strProxyHost:m_nProxyPort being the one for http.
    // What every transfer of this launch goes by: the user's proxies and this build's version.
    zyn::TransferSettings GetTransferSettings() const;
    void RequestSystemState();
    void OnSystemStateReceived(CStateSocket* socket, const std::string& body, int kind) override;
    void ScanDeepServers();

    // The launch state record.
    int32_t m_nProxyPort = 0;
    std::string m_strProxyHost;
    // The rest of the user's proxy setting: the proxy for https, credentials, hosts reached
    // directly.
    zyn::ProxyRules m_proxyRules;
    // The launcher's own version, as it was built: every request names it (User-Agent).
    std::string m_strBuildVersion;
    std::string m_strUIComponent = zyn::kDefaultUIComponent;
    std::string m_strUIExecutable = zyn::kDefaultUIExecutable;
    std::string m_strUIName = "Default";
    int32_t m_bStartEngine = 1;
    int32_t m_bStartUI = 1;
    int32_t m_bConfigMode = 0;
    int32_t m_bStage2 = 0;
    int32_t m_bStage1 = 0;
    int32_t m_bUpdateLauncher = 0;
    std::unique_ptr<CDeepResolverSocket> m_pDeepResolverSocket;
    std::string m_strDeepIP;
    std::string m_strDeepServer;
    int32_t m_nDeepPort = 0;
    std::string m_strDownloadQueue;
    StringList m_deepServers;
    StringList m_orbitalServers;
    StringList m_updateURLs;
    StringList m_downloadURLs;
    std::string m_strEngineVersion;
    std::string m_strUIVersion;
    std::string m_strConfigVersion;
    std::string m_strNetworkServicesVersion;
    std::string m_strLaunchVersion;
    std::unique_ptr<CStateSocket> m_pStateSocket;
    // The keys whose signature a fetched state needs before it replaces the one on disk: those
    // the program was built with. None: any state is taken, signed or not.
    std::span<const sys::P256PublicKey> m_trustedKeys;
    // The digests, serial and expiry of the state as last read: at stage 3, the file the
    // components are checked and fetched against.
    zyn::TrustEntries m_trustEntries;
    // The download under way, owned from stage 5's start to its report, so that the stall
    // ticks reach it and a window dismissed in mid-download releases it.
    std::unique_ptr<CDownloadSocket> m_pDownloadSocket;
    // Components whose installed version differs from the listed one (the launcher aside):
    // queued by stage 4, and replaced only by a download that arrives whole.
    StringList m_outdatedComponents;
    // The file stage 5 is fetching, the mirror chosen for it and how many after that one have
    // been tried: each file starts from a mirror of its own and tries each once.
    std::string m_strDownloadFile;
    int32_t m_nDownloadChoice = 0;
    int32_t m_nDownloadOffset = 0;
    int32_t m_bDownloadFailureShown = 0;
    // Only a launcher copy that arrived whole in this run is handed over to.
    int32_t m_bLauncherDownloaded = 0;
    std::string m_strEngineArgs;
    int32_t m_bClosing = 0; // cleared again by OnInitDialog, where a launch begins
    CStatic m_picture;
    CProgressCtrl m_progress;
    CStatic m_status;
    int m_hIcon;

  protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;

  private:
    // The one-shot timers of the launch sequence: each id is the number of the stage it runs.
    enum StageTimer : unsigned {
        kStage1 = 1,
        kStage2,
        kStage3,
        kStage4,
        kStage5,
        kStage6,
        kStage7,
        kStage8,
    };
    // The stages of the launch sequence, one per timer id.
    void RunStage1();
    void RunStage2();
    void RunStage3();
    void RunStage4();
    void RunStage5();
    void RunStage6();
    void RunStage7();
    void RunStage8();
    void ReadUIChoice();
    // A coarse periodic timer, outside the stages' ids, that runs while a transfer is under
    // way and gives each its stall ticks.
    static constexpr unsigned kTransferTimer = 100;
    void OnTransferTick();
    bool StartDownload(const std::string& fileName);
    bool StartNextMirror();
    void ReleaseDownload(CDownloadSocket* client);
    void ReportDownloadFailure();
    bool IsTrustedState(const std::string& body);
    bool DiffersFromListedSize(const std::string& fileName) const;
    bool IsOutdated(const std::string& fileName) const;
    bool IsStateExpired();
    bool MayDownload(const std::string& fileName);
    bool StartProgram(const std::string& program, const std::string& commandLine);
    void SendDeepProbes(const std::vector<std::string>& addresses);
    // What a worker's result holds on to: gone with the window, so a late one finds nothing.
    std::shared_ptr<CZynLaunchDlg*> m_alive = std::make_shared<CZynLaunchDlg*>(this);
    zyn::MessageSink ShowMessage() {
        return [this](const std::string& text) { MessageBox(text); };
    }
};
