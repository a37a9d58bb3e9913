// The client that fetches one queued component into the launcher's folder, showing its
// progress on the launch window's bar. The launch window destroys it once it reports its end.
// A transfer cut short keeps the bytes that arrived, and the next attempt asks for the rest.
#pragma once

#include "config/TrustEntries.h"
#include "framework/BackgroundSha256.h"
#include "framework/Controls.h"
#include "framework/Crypto.h"
#include "framework/System.h"
#include "net/HttpTransfer.h"

#include <cstdint>
#include <optional>
#include <string>

class CLaunchEvents;

class CDownloadSocket : public CHttpTransfer {
  public:
    // However its body is framed, a component longer than this is refused, so that a server
    // that never ends one cannot fill the disk; a listed digest bounds it at the listed size.
    static constexpr uint64_t kBodyLimit = uint64_t(1) << 30;
    // How much of a program's first bytes is kept to tell whether it is one for this system.
    static constexpr size_t kProgramHeadBytes = 4096;

    CDownloadSocket();
    // A transfer still under way is cut short: what arrived of it is kept or abandoned as when
    // the connection breaks.
    ~CDownloadSocket() override;

    void SetProgressCtrl(CProgressCtrl* progress) { m_pProgress = progress; }
    void SetOwner(CLaunchEvents* owner) { m_pOwner = owner; }
    // The file is named after the text that follows the URL's last "/", percent-decoded.
    void SetUrl(const std::string& url);
    // The size and SHA-256 the file must have to be put in place; null: any body will do.
    void SetExpectedDigest(const zyn::DigestEntry* expected);
    // Shows the bar at 0 and opens the connection; with bytes kept from an earlier attempt,
    // asks for the rest. False when the download fails at once (a name that could leave the
    // folder, a URL that is not http://, a name that does not resolve); nothing is reported
    // then. Otherwise the owner hears of its end, once: through OnDownloadFinished when the file
    // is in place, OnDownloadFailed when it is not.
    bool StartDownload(const zyn::TransferSettings& settings);
    const std::string& GetFileName() const { return m_strFileName; }
    // Deletes what a download of `fileName` kept for a later attempt: its bytes and their
    // validator.
    static void RemoveKeptBytes(const std::string& fileName);

    CLaunchEvents* m_pOwner = nullptr;    // not owned
    int32_t m_nLastPercent = 0;           // last shown on the bar
    CProgressCtrl* m_pProgress = nullptr; // not owned
    std::string m_strFileName;
    std::string m_strUrl;
    uint64_t m_nReceived = 0; // bytes of the file so far, those kept from earlier included
    // The file being written, under a temporary name until the whole body is there: a transfer
    // cut short never leaves a file that could pass for the component.
    sys::FileWriter m_file;
    // The length of the bytes kept from an earlier attempt that this one continues; 0: the
    // whole file is asked for.
    uint64_t m_nResumeFrom = 0;
    // The validator of the file that the kept bytes began, as its server gave it; empty: none
    // is known. It is kept beside them (zyn::KeptValidatorFileName) from the start of the body,
    // so that bytes left by a launch that was killed can be continued too.
    std::string m_strValidator;
    // The whole file's length as the reply announces it, when it does.
    std::optional<uint64_t> m_nFullLength;
    // The file so far is a true beginning of the component's bytes: a 200 or a fitting 206
    // whose end is announced (by its length or its last chunk), every byte written whole.
    bool m_bKeepable = false;
    // The kept bytes could not be continued: they go, and the whole file is asked for.
    bool m_bStartOver = false;
    std::optional<zyn::DigestEntry> m_expected;
    // Fed as the body arrives, so that a file is never read back to be checked.
    std::optional<sys::BackgroundSha256> m_hash;
    // A program or a library must be an image that this system can load: a file for another
    // system (a PE file on Linux) would replace a working component with one that cannot start.
    bool m_bProgram = false;
    std::string m_strHead; // the file's first bytes, up to kProgramHeadBytes

  protected:
    std::string BuildRequest(const zyn::HttpUrl& url,
                             const zyn::RequestContext& context) const override;
    bool OnBodyStart() override;
    bool OnBodyBytes(std::string_view bytes) override;
    void OnTransferEnd(bool complete) override;
    void OnFailureNote(const std::string& text) override;

  private:
    bool BeginDownload(const zyn::TransferSettings& settings);
    bool ContinueKeptBytes(const std::string& validator);
    bool HasAnnouncedEnd() const;
    // The file's length as a reply announces it: the listed size, else at most kBodyLimit.
    bool IsPossibleLength(uint64_t length) const;
    void ShowProgress();
    void ShowPercent(int percent);
    bool IsWholeFile();
    // Writes `validator` beside the kept bytes, or removes the one there when it is empty.
    void KeepValidator(const std::string& validator);
    // Removes the bytes being written, and their validator, unless they are kept.
    void AbandonFile();
    void TakeHead(std::string_view bytes);
    // The head shows a program for another system: once it is full, or with `whole`, at the
    // file's end.
    bool IsForeignProgram(bool whole) const;
};
