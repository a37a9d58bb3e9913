// TLS over a connected CAsyncSocket.
#include "framework/TlsChannel.h"

CTlsChannel::CTlsChannel(CAsyncSocket& socket, const std::string& host,
                         std::span<const sys::CertificateDer> pinned)
    : m_socket(socket), m_session(host, pinned) {
    Flush();
}

int CTlsChannel::Receive(std::string_view& piece) {
    using State = sys::TlsSession::State;
    for (;;) {
        piece = m_session.Read();
        if (!m_strPending.empty() && m_session.GetState() == State::Open) {
            m_session.Write(m_strPending);
            m_strPending.clear();
        }
        Flush();
        if (!piece.empty())
            return static_cast<int>(piece.size());
        if (Failed() || m_session.GetState() == State::Closed)
            return 0;
        const std::span<char> space = m_session.ReceiveSpace();
        if (space.empty()) {
            m_strFailure = "TLS record too large";
            continue;
        }
        const int count = m_socket.Receive(space.data(), static_cast<int>(space.size()));
        if (count > 0) {
            m_session.Received(static_cast<size_t>(count));
        } else if (count == 0) {
            m_session.ReceivedEnd();
        } else if (CAsyncSocket::GetLastError() == SOCK_ERR_WOULDBLOCK) {
            return -1;
        } else {
            m_strFailure =
                "connection failed (" + std::to_string(CAsyncSocket::GetLastError()) + ")";
        }
    }
}

int CTlsChannel::Send(const void* data, int length) {
    const std::string_view plaintext(static_cast<const char*>(data), static_cast<size_t>(length));
    if (m_session.GetState() == sys::TlsSession::State::Handshaking)
        m_strPending.append(plaintext);
    else if (Failed() || !m_session.Write(plaintext))
        return -1;
    Flush();
    return length;
}

void CTlsChannel::Flush() {
    while (!m_session.Output().empty() && m_strFailure.empty()) {
        const std::string_view out = m_session.Output();
        const int sent = m_socket.Send(out.data(), static_cast<int>(out.size()));
        if (sent > 0)
            m_session.Sent(static_cast<size_t>(sent));
        else if (CAsyncSocket::GetLastError() != SOCK_ERR_WOULDBLOCK)
            m_strFailure =
                "connection failed (" + std::to_string(CAsyncSocket::GetLastError()) + ")";
        else
            return;
    }
}
