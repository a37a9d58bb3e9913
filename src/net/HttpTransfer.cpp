// One HTTP(S) GET over the event-driven socket, shared by both kinds of transfer.
#include "net/HttpTransfer.h"

#include "net/TrustedCas.h"

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
    m_tls.reset();
    Close();
    m_strFailure.clear();
    zyn::HttpUrl parts;
    if (zyn::SplitHttpUrl(url, parts) != zyn::UrlSplit::Ok)
        return false;
    m_strCurrentUrl = url;
    const zyn::ProxyEndpoint* proxy = m_settings.proxies.For(parts);
    const bool tls = parts.scheme == "https";
    // Through a proxy, an https:// request goes inside a tunnel, to the server itself: the
    // proxy sees the CONNECT alone, and never the request or its credentials.
    zyn::RequestContext context;
    context.viaProxy = proxy && !tls;
    context.proxyAuthorization = proxy && !tls ? proxy->authorization : "";
    context.launcherVersion = m_settings.launcherVersion;
    m_strRequest = BuildRequest(parts, context);
    m_strTlsHost = tls ? parts.host : "";
    m_bTunnel = proxy && tls;
    m_strPlain = m_bTunnel ? zyn::BuildConnectRequest(parts, proxy->authorization,
                                                      m_settings.launcherVersion)
                           : (tls ? "" : m_strRequest);
    m_nSent = 0;
    m_strProxy = proxy ? proxy->host + ":" + std::to_string(proxy->port) : "";
    m_tunnelReply.reset();
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
    if (m_bTunnel)
        m_tunnelReply.emplace(zyn::HttpReplyReader::kNoBodyLimit,
                              zyn::HttpReplyReader::Request::Connect);
    else if (!m_strTlsHost.empty())
        return StartTls();
    SendPlain();
}

void CHttpTransfer::StartTls() {
    m_tls = std::make_unique<CTlsChannel>(*this, m_strTlsHost, zyn::TrustedCas());
    // Held by the channel until the handshake is done.
    m_tls->Send(m_strRequest.data(), static_cast<int>(m_strRequest.size()));
}

void CHttpTransfer::OnSend(int) {
    if (!m_bUnderWay)
        return;
    if (m_tls)
        m_tls->OnSend();
    else
        SendPlain();
}

void CHttpTransfer::SendPlain() {
    while (m_nSent < m_strPlain.size()) {
        const int sent =
            Send(m_strPlain.data() + m_nSent, static_cast<int>(m_strPlain.size() - m_nSent));
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
    if (m_tunnelReply)
        ReadTunnelReply();
    else if (m_tls)
        ReadTls();
    else
        ReadPlain();
}

void CHttpTransfer::OnClose(int errorCode) {
    if (!m_bUnderWay)
        return;
    if (m_tunnelReply) {
        m_tunnelReply->FeedEnd(errorCode == 0);
        FailTransfer("the proxy " + m_strProxy +
                     " ended the connection before its answer to "
                     "CONNECT");
    } else if (m_tls) {
        // What the session still holds, then its end.
        ReadTls();
    } else {
        m_reader->FeedEnd(errorCode == 0);
        EndTransfer(m_reader->GetState() == zyn::HttpReplyReader::State::Complete);
    }
}

void CHttpTransfer::ReadPlain() {
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

// The proxy's answer is all that can arrive before the tunnel opens (a TLS server waits for the
// client's first message), so a large read takes nothing of the tunnel's.
void CHttpTransfer::ReadTunnelReply() {
    using State = zyn::HttpReplyReader::State;
    m_buffer.resize(kReadSize);
    for (;;) {
        const int count = Receive(m_buffer.data(), static_cast<int>(m_buffer.size()));
        if (count <= 0)
            return;
        m_pace.Count(static_cast<uint64_t>(count));
        m_tunnelReply->Feed(std::string_view(m_buffer.data(), static_cast<size_t>(count)));
        const State state = m_tunnelReply->GetState();
        if (state == State::Complete) {
            m_tunnelReply.reset();
            return StartTls();
        }
        if (state == State::Failed) {
            FailTransfer("the proxy " + m_strProxy +
                         " refused CONNECT: " + m_tunnelReply->GetFailure());
            return;
        }
    }
}

void CHttpTransfer::ReadTls() {
    std::string_view piece;
    // Records that the session already holds bring no notification of their own: they are
    // taken past the budget.
    for (size_t taken = 0; taken < kReadBudget || m_tls->HasBuffered();) {
        const int count = m_tls->Receive(piece);
        if (count < 0)
            return;
        if (count == 0) {
            // A failed handshake ends here: the socket itself may never report a close.
            m_reader->FeedEnd(m_tls->Ended());
            const bool complete = m_reader->GetState() == zyn::HttpReplyReader::State::Complete;
            if (!complete && m_tls->Failed())
                FailTransfer("TLS: " + m_tls->GetFailure());
            else
                EndTransfer(complete);
            return;
        }
        m_pace.Count(static_cast<uint64_t>(count));
        if (!TakeBlock(piece))
            return;
        taken += static_cast<size_t>(count);
    }
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
    if (++m_nRedirections > kMaxRedirections)
        return EndTransfer(false);
    const zyn::UrlSplit split =
        zyn::FollowLocation(m_strCurrentUrl, m_reader->GetLocation(), next, parts);
    if (split == zyn::UrlSplit::Downgrade)
        return FailTransfer("the redirection to " + m_reader->GetLocation() +
                            " is refused: it leaves https");
    if (split != zyn::UrlSplit::Ok || !OpenConnection(next))
        return EndTransfer(false);
    return false;
}

bool CHttpTransfer::FailTransfer(std::string reason) {
    m_strFailure = std::move(reason);
    OnFailureNote(m_strCurrentUrl + ": " + m_strFailure);
    return EndTransfer(false);
}

bool CHttpTransfer::EndTransfer(bool complete) {
    m_bUnderWay = false;
    m_tls.reset();
    Close();
    OnTransferEnd(complete);
    return false;
}
