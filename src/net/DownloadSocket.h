// The client that fetches one queued component into the launcher's folder, showing its
// progress on the launch window's bar. The launch window destroys it once it reports its end.
#pragma once

#include "Controls.h"
#include "Crypto.h"
#include "System.h"
#include "config/TrustEntries.h"
#include "net/HttpTransfer.h"

#include <cstdint>
#include <optional>
#include <string>

class CZynLaunchDlg;

class CDownloadSocket : public CHttpTransfer {
  public:
    // However its body is framed, a component longer than this is refused, so that a server
    // that never ends one cannot fill the disk; a listed digest bounds it at the listed size.
    static constexpr uint64_t kBodyLimit = uint64_t(1) << 30;

    CDownloadSocket();
    ~CDownloadSocket() override = default; // a file not yet complete is abandoned

    void SetProgressCtrl(CProgressCtrl* progress) { m_pProgress = progress; }
    void SetOwner(CZynLaunchDlg* owner) { m_pOwner = owner; }
    // The file is named after the text that follows the URL's last "/".
    void SetUrl(const std::string& url);
    // The size and SHA-256 the file must have to be put in place; null: any body will do.
    void SetExpectedDigest(const zyn::DigestEntry* expected);
    // Shows the bar at 0 and opens the connection. False when the download fails at once (a
    // name that could leave the folder, a URL that is not http://, a name that does not
    // resolve); nothing is reported then. Otherwise the owner hears of its end, once: through
    // OnDownloadFinished when the file is in place, OnDownloadFailed when it is not.
    bool StartDownload();
    const std::string& GetFileName() const { return m_strFileName; }

    CZynLaunchDlg* m_pOwner = nullptr;    // not owned
    int32_t m_nLastPercent = 0;           // last shown on the bar
    CProgressCtrl* m_pProgress = nullptr; // not owned
    std::string m_strFileName;
    std::string m_strUrl;
    uint64_t m_nReceived = 0; // body bytes written so far
    // The file being written, under a temporary name until the whole body is there: a transfer
    // cut short never leaves a file that could pass for the component.
    sys::FileWriter m_file;
    std::optional<zyn::DigestEntry> m_expected;
    // Fed as the body arrives, so that a file is never read back to be checked.
    std::optional<sys::Sha256> m_hash;

  protected:
    std::string BuildRequest(const zyn::HttpUrl& url, bool viaProxy) const override;
    bool OnBodyStart() override;
    bool OnBodyBytes(std::string_view bytes) override;
    void OnTransferEnd(bool complete) override;

  private:
    void ShowPercent(int percent);
    bool MatchesExpectedDigest();
};
