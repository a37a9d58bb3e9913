// The component download client.
#include "net/DownloadSocket.h"

#include "launch/ZynLaunchDlg.h"
#include "net/ComponentName.h"
#include "net/HttpRequest.h"

CDownloadSocket::CDownloadSocket() : CHttpTransfer(kBodyLimit) {}

void CDownloadSocket::SetUrl(const std::string& url) {
    m_strUrl = url;
    m_strFileName = zyn::UrlFileName(url);
}

void CDownloadSocket::SetExpectedDigest(const zyn::DigestEntry* expected) {
    m_expected.reset();
    if (expected)
        m_expected = *expected;
    SetBodyLimit(expected ? expected->size : kBodyLimit);
}

bool CDownloadSocket::StartDownload() {
    m_pProgress->SetRange(0, 100);
    m_pProgress->SetPos(0);
    m_pProgress->RedrawNow();
    m_nLastPercent = 0;
    return zyn::IsSafeComponentName(m_strFileName) &&
           BeginTransfer(m_strUrl, m_pOwner->m_strProxyHost, m_pOwner->m_nProxyPort);
}

std::string CDownloadSocket::BuildRequest(const zyn::HttpUrl& url, bool viaProxy) const {
    return zyn::BuildDownloadRequest(url, viaProxy);
}

bool CDownloadSocket::OnBodyStart() {
    if (m_expected) {
        // A length other than the listed size cannot give the file: the next mirror may.
        if (Reply().HasLength() && Reply().GetLength() != m_expected->size)
            return false;
        m_hash.emplace();
    }
    return m_file.Open(m_strFileName, sys::FileWriter::Kind::Program);
}

bool CDownloadSocket::OnBodyBytes(std::string_view bytes) {
    if (m_expected) {
        if (bytes.size() > m_expected->size - m_nReceived)
            return false;
        m_hash->Update(bytes);
    }
    if (!m_file.Write(bytes.data(), bytes.size()))
        return false;
    m_nReceived += bytes.size();
    // A body framed by chunks or by the close has no known length: its bar stays at 0 until
    // the end.
    if (Reply().HasLength() && Reply().GetLength() > 0)
        ShowPercent(static_cast<int>(static_cast<double>(m_nReceived) /
                                     static_cast<double>(Reply().GetLength()) * 100.0));
    return true;
}

void CDownloadSocket::ShowPercent(int percent) {
    if (percent == m_nLastPercent)
        return;
    m_pProgress->SetPos(percent);
    m_pProgress->RedrawNow();
    m_nLastPercent = percent;
}

bool CDownloadSocket::MatchesExpectedDigest() {
    if (!m_expected)
        return true;
    sys::Sha256Digest digest;
    return m_nReceived == m_expected->size && m_hash && m_hash->Final(digest) &&
           digest == m_expected->sha256;
}

void CDownloadSocket::OnTransferEnd(bool complete) {
    CZynLaunchDlg* const owner = m_pOwner;
    if (complete && MatchesExpectedDigest() && m_file.Commit()) {
        ShowPercent(100);
        owner->OnDownloadFinished(this);
    } else {
        m_file.Abandon();
        owner->OnDownloadFailed(this);
    }
}
