// The component download client.
#include "net/DownloadSocket.h"

#include "net/ComponentName.h"
#include "net/ContentRange.h"
#include "net/HttpRequest.h"
#include "net/LaunchEvents.h"

// The client holds the body to its limit itself, before a byte too many reaches the file, so
// that what it keeps of a transfer cut short is never more than the file can be.
CDownloadSocket::CDownloadSocket() : CHttpTransfer(zyn::HttpReplyReader::kNoBodyLimit) {}

CDownloadSocket::~CDownloadSocket() {
    if (m_bKeepable)
        m_file.Keep();
    else
        AbandonFile();
}

void CDownloadSocket::RemoveKeptBytes(const std::string& fileName) {
    // The validator first: bytes left without one are never continued on a guess. A launch
    // that ended while writing it may have left that write's own temporary file.
    const std::string validator = zyn::KeptValidatorFileName(fileName);
    sys::DeleteFile(validator);
    sys::DeleteFile(sys::TemporaryFileName(validator));
    sys::DeleteFile(sys::TemporaryFileName(fileName));
}

void CDownloadSocket::SetUrl(const std::string& url) {
    m_strUrl = url;
    m_strFileName = zyn::DecodePercent(zyn::UrlFileName(url));
}

void CDownloadSocket::SetExpectedDigest(const zyn::DigestEntry* expected) {
    m_expected.reset();
    if (expected)
        m_expected = *expected;
}

bool CDownloadSocket::StartDownload(const zyn::TransferSettings& settings) {
    m_pProgress->SetRange(0, 100);
    m_pProgress->SetPos(0);
    m_pProgress->RedrawNow();
    m_nLastPercent = 0;
    if (!zyn::IsSafeComponentName(m_strFileName))
        return false;
    m_bProgram = zyn::IsProgramFileName(m_strFileName);
    m_nResumeFrom = 0;
    m_strValidator.clear();
    std::string validator;
    if (sys::GetOpenableFileSize(sys::TemporaryFileName(m_strFileName), m_nResumeFrom) &&
        sys::ReadWholeFile(zyn::KeptValidatorFileName(m_strFileName), validator) &&
        zyn::IsUsableValidator(validator))
        m_strValidator = validator;
    // Kept bytes are continued only when the rest can be told to belong to the same file: by
    // their validator, which the server compares, or by the listed digest, which the whole
    // file must match. As many bytes as the listed size or more cannot begin the file.
    if (m_nResumeFrom == 0 ||
        (m_expected ? m_nResumeFrom >= m_expected->size : m_strValidator.empty())) {
        RemoveKeptBytes(m_strFileName);
        m_nResumeFrom = 0;
        m_strValidator.clear();
    }
    return BeginDownload(settings);
}

bool CDownloadSocket::BeginDownload(const zyn::TransferSettings& settings) {
    m_bKeepable = false;
    m_bStartOver = false;
    return BeginTransfer(m_strUrl, settings);
}

std::string CDownloadSocket::BuildRequest(const zyn::HttpUrl& url,
                                          const zyn::RequestContext& context) const {
    return zyn::BuildDownloadRequest(url, context, m_nResumeFrom, m_strValidator);
}

bool CDownloadSocket::OnBodyStart() {
    const int status = Reply().GetStatus();
    m_nReceived = 0;
    m_nFullLength.reset();
    m_strHead.clear();
    if (m_expected)
        m_hash.emplace();
    const std::string validator = zyn::ReplyValidator(Reply());
    if (status == 206 && m_nResumeFrom > 0)
        return ContinueKeptBytes(validator);
    // Any other reply is the whole file (or a part that was not asked for): once it is taken,
    // it replaces what was kept.
    m_nResumeFrom = 0;
    if (status == 206)
        return false;
    if (Reply().HasLength())
        m_nFullLength = Reply().GetLength();
    // A length other than the listed size, or over the limit, cannot give the file: the next
    // mirror may.
    if (m_nFullLength && !IsPossibleLength(*m_nFullLength))
        return false;
    if (!m_file.Open(m_strFileName, sys::FileWriter::Kind::Program))
        return false;
    m_bKeepable = status == 200 && HasAnnouncedEnd();
    // After the fresh file replaced any kept bytes, and before a byte of it is written.
    KeepValidator(m_bKeepable ? validator : "");
    return true;
}

bool CDownloadSocket::IsPossibleLength(uint64_t length) const {
    return m_expected ? length == m_expected->size : length <= kBodyLimit;
}

// A body whose end is announced, by its length or its last chunk (the only coding read), shows
// when it is cut short; one that runs up to the close does not.
bool CDownloadSocket::HasAnnouncedEnd() const {
    std::string coding;
    return Reply().HasLength() || Reply().FindHeader("Transfer-Encoding", coding);
}

// A 206 reply to the request for the rest: its part must continue the kept bytes up to the
// end of a file of the listed size, and those bytes are hashed before the new ones.
bool CDownloadSocket::ContinueKeptBytes(const std::string& validator) {
    std::string value;
    uint64_t total = 0;
    uint64_t kept = 0;
    m_bStartOver = !Reply().FindHeader("Content-Range", value) ||
                   !zyn::ReadResumedRange(value, m_nResumeFrom, total) ||
                   (Reply().HasLength() && Reply().GetLength() != total - m_nResumeFrom) ||
                   !IsPossibleLength(total) ||
                   (!validator.empty() && !m_strValidator.empty() && validator != m_strValidator) ||
                   !m_file.Resume(m_strFileName, kept, sys::FileWriter::Kind::Program,
                                  [this](std::string_view bytes) {
                                      if (m_hash)
                                          m_hash->Update(bytes);
                                      TakeHead(bytes);
                                  }) ||
                   kept != m_nResumeFrom || IsForeignProgram(false);
    if (m_bStartOver)
        return false;
    m_nFullLength = total;
    m_nReceived = kept;
    m_bKeepable = HasAnnouncedEnd();
    // Kept bytes continued on the strength of the digest get the validator of their rest.
    if (m_bKeepable && m_strValidator.empty())
        KeepValidator(validator);
    ShowProgress();
    return true;
}

bool CDownloadSocket::OnBodyBytes(std::string_view bytes) {
    // Bytes beyond the file's length would make it another file.
    const uint64_t allowed = m_expected ? m_expected->size : m_nFullLength.value_or(kBodyLimit);
    if (bytes.size() > allowed - m_nReceived || !m_file.Write(bytes.data(), bytes.size())) {
        m_bKeepable = false;
        return false;
    }
    if (m_hash)
        m_hash->Update(bytes);
    m_nReceived += bytes.size();
    TakeHead(bytes);
    // No more of a file that cannot be put in place. With kept bytes, the fault may be theirs.
    if (IsForeignProgram(false)) {
        m_bStartOver = m_nResumeFrom > 0;
        m_bKeepable = false;
        return false;
    }
    ShowProgress();
    return true;
}

// The whole file's percentage. A body framed by chunks or by the close has no known length:
// its bar stays at 0 until the end.
void CDownloadSocket::ShowProgress() {
    if (m_nFullLength && *m_nFullLength > 0)
        ShowPercent(static_cast<int>(static_cast<double>(m_nReceived) /
                                     static_cast<double>(*m_nFullLength) * 100.0));
}

void CDownloadSocket::ShowPercent(int percent) {
    if (percent == m_nLastPercent)
        return;
    m_pProgress->SetPos(percent);
    m_pProgress->RedrawNow();
    m_nLastPercent = percent;
}

void CDownloadSocket::TakeHead(std::string_view bytes) {
    if (m_bProgram && m_strHead.size() < kProgramHeadBytes)
        m_strHead.append(bytes.substr(0, kProgramHeadBytes - m_strHead.size()));
}

bool CDownloadSocket::IsForeignProgram(bool whole) const {
    return m_bProgram && (whole || m_strHead.size() == kProgramHeadBytes) &&
           !formats::IsProgramImage(m_strHead, sys::NativeProgramFormat());
}

bool CDownloadSocket::IsWholeFile() {
    if ((m_nFullLength && m_nReceived != *m_nFullLength) || IsForeignProgram(true))
        return false;
    if (!m_expected)
        return true;
    sys::Sha256Digest digest;
    return m_nReceived == m_expected->size && m_hash && m_hash->Final(digest) &&
           digest == m_expected->sha256;
}

void CDownloadSocket::KeepValidator(const std::string& validator) {
    const std::string name = zyn::KeptValidatorFileName(m_strFileName);
    if (validator.empty() || !sys::WriteWholeFile(name, validator))
        sys::DeleteFile(name);
}

void CDownloadSocket::AbandonFile() {
    if (!m_file.IsOpen())
        return;
    m_file.Abandon();
    sys::DeleteFile(zyn::KeptValidatorFileName(m_strFileName));
}

void CDownloadSocket::OnFailureNote(const std::string& text) {
    m_pOwner->OnTransferNote(text);
}

void CDownloadSocket::OnTransferEnd(bool complete) {
    CLaunchEvents* const owner = m_pOwner;
    if (complete && IsWholeFile()) {
        sys::DeleteFile(zyn::KeptValidatorFileName(m_strFileName));
        if (m_file.Commit()) {
            ShowPercent(100);
            owner->OnDownloadFinished(this);
            return;
        }
    }
    // Kept bytes that the server refused to continue, or that did not make the file: they go,
    // and this mirror is asked once more, for the whole file.
    if (m_nResumeFrom > 0 && (m_bStartOver || complete || Reply().GetStatus() == 416)) {
        m_file.Abandon();
        RemoveKeptBytes(m_strFileName);
        m_nResumeFrom = 0;
        m_strValidator.clear();
        ShowPercent(0);
        if (BeginDownload(Settings()))
            return;
    } else if (!complete && m_bKeepable &&
               (Reply().GetState() != zyn::HttpReplyReader::State::Failed ||
                Reply().IsCutShort())) {
        // Cut short (a close, a reset, a stall): what arrived is the file's beginning. A reply
        // that broke its own framing is not trusted that far.
        m_file.Keep();
    }
    m_bKeepable = false;
    AbandonFile();
    owner->OnDownloadFailed(this);
}
