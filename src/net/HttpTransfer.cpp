// One HTTP GET over the event-driven socket, shared by both kinds of transfer.
#include "net/HttpTransfer.h"

#include <algorithm>

namespace {
// Large reads keep the system calls per byte few; the budget hands the loop back now and then,
// so that a fast peer cannot keep timers and the window waiting.
constexpr size_t kReadSize = 128 * 1024;
constexpr size_t kReadBudget = 1024 * 1024;
} // namespace

bool CHttpTransfer::BeginTransfer(const std::string& url, const zyn::TransferSettings& settings) {
    m_settings = settings;
    m_nRedirections = 0;
    return OpenConnection(url);
}

bool CHttpTransfer::OpenConnection(const std::string& url) {
    m_bUnderWay = false;
    Close();
    zyn::HttpUrl parts;
    // An https:// URL waits for the TLS layer: nothing of it goes out in the clear, to a server
    // or to a proxy that would fetch it on our behalf.
    if (zyn::SplitHttpUrl(url, parts) != zyn::UrlSplit::Ok || parts.scheme != "http")
        return false;
    m_strCurrentUrl = url;
    const zyn::ProxyEndpoint* proxy = m_settings.proxies.For(parts);
    zyn::RequestContext context;
    context.viaProxy = proxy != nullptr;
    context.proxyAuthorization = proxy ? proxy->authorization : "";
    context.launcherVersion = m_settings.launcherVersion;
    m_strRequest = BuildRequest(parts, context);
    m_nSent = 0;
    m_reader.emplace(m_nBodyLimit);
    m_bBodyStarted = false;
    m_pace.Restart();
    if (proxy && (proxy->port < 1 || proxy->port > 65535))
        return false;
    if (!Create(0, SOCK_STREAM_TYPE, FD_ALL_EVENTS))
        return false;
    if (!Connect(proxy ? proxy->host : parts.host,
                 proxy ? static_cast<unsigned>(proxy->port) : parts.port)) {
        Close();
        return false;
    }
    m_bUnderWay = true;
    return true;
}

void CHttpTransfer::OnIdleTick() {
    if (m_bUnderWay && !m_pace.Tick())
        EndTransfer(false);
}

void CHttpTransfer::OnConnect(int errorCode) {
    if (!m_bUnderWay)
        return;
    if (errorCode != 0) {
        EndTransfer(false);
        return;
    }
    m_pace.Restart();
    SendRequest();
}

void CHttpTransfer::OnSend(int) {
    if (m_bUnderWay)
        SendRequest();
}

void CHttpTransfer::SendRequest() {
    while (m_nSent < m_strRequest.size()) {
        const int sent =
            Send(m_strRequest.data() + m_nSent, static_cast<int>(m_strRequest.size() - m_nSent));
        if (sent > 0) {
            m_nSent += static_cast<size_t>(sent);
        } else {
            // A full send buffer is followed by OnSend; anything else ends the connection.
            if (GetLastError() != SOCK_ERR_WOULDBLOCK)
                EndTransfer(false);
            return;
        }
    }
}

void CHttpTransfer::OnReceive(int) {
    if (!m_bUnderWay)
        return;
    m_buffer.resize(kReadSize);
    for (size_t taken = 0; taken < kReadBudget;) {
        const int count = Receive(m_buffer.data(), static_cast<int>(m_buffer.size()));
        // Nothing now, or the end of the stream: OnClose tells how it ended.
        if (count <= 0)
            return;
        m_pace.Count(static_cast<uint64_t>(count));
        if (!TakeBlock(std::string_view(m_buffer.data(), static_cast<size_t>(count))))
            return;
        taken += static_cast<size_t>(count);
    }
}

void CHttpTransfer::OnClose(int errorCode) {
    if (!m_bUnderWay)
        return;
    m_reader->FeedEnd(errorCode == 0);
    EndTransfer(m_reader->GetState() == zyn::HttpReplyReader::State::Complete);
}

bool CHttpTransfer::TakeBlock(std::string_view block) {
    using State = zyn::HttpReplyReader::State;
    const std::vector<std::string_view>& pieces = m_reader->Feed(block);
    const State state = m_reader->GetState();
    if (!m_bBodyStarted && (state == State::Body || state == State::Complete)) {
        m_bBodyStarted = true;
        if (!OnBodyStart())
            return EndTransfer(false);
    }
    for (std::string_view piece : pieces)
        if (!piece.empty() && !OnBodyBytes(piece))
            return EndTransfer(false);
    switch (state) {
    case State::Complete:
        return EndTransfer(true);
    case State::Failed:
        return EndTransfer(false);
    case State::Redirect:
        return FollowRedirection();
    default:
        return true;
    }
}

bool CHttpTransfer::FollowRedirection() {
    std::string next;
    zyn::HttpUrl parts;
    if (++m_nRedirections > kMaxRedirections ||
        zyn::FollowLocation(m_strCurrentUrl, m_reader->GetLocation(), next, parts) !=
            zyn::UrlSplit::Ok ||
        !OpenConnection(next))
        return EndTransfer(false);
    return false;
}

bool CHttpTransfer::EndTransfer(bool complete) {
    m_bUnderWay = false;
    Close();
    OnTransferEnd(complete);
    return false;
}
