// TLS over a connected CAsyncSocket, in the shapes of the socket's own Receive and Send, so that
// an owner that reads replies block by block reads them the same way over TLS.
#pragma once

#include "framework/AsyncSocket.h"
#include "framework/TlsSession.h"

#include <string>
#include <string_view>

class CTlsChannel {
  public:
    // Starts the handshake with `host` over `socket`, which has connected (OnConnect(0)) and
    // outlives the channel.
    CTlsChannel(CAsyncSocket& socket, const std::string& host,
                std::span<const sys::CertificateDer> pinned);

    // From the owner's OnReceive, until it returns below 1: above 0, that many bytes of
    // plaintext in `piece` (valid until the next call); 0, the end: Ended() tells whether it
    // was clean, GetFailure() why not; -1, nothing now (a notification follows).
    // A piece already received brings no further OnReceive: an owner that stops early must
    // come back while HasBuffered() says so.
    int Receive(std::string_view& piece);
    bool HasBuffered() const { return m_session.CanRead(); }

    // Takes all of `length` bytes (held back until the handshake is done) and returns
    // `length`; -1 once the channel has failed or ended.
    int Send(const void* data, int length);
    // From the owner's OnSend: sends the ciphertext that the socket could not take before.
    void OnSend() { Flush(); }

    // The server ended its data with close_notify.
    bool Ended() const { return m_session.GetState() == sys::TlsSession::State::Closed; }
    bool Failed() const { return !m_strFailure.empty() || !m_session.GetFailure().empty(); }
    const std::string& GetFailure() const {
        return m_strFailure.empty() ? m_session.GetFailure() : m_strFailure;
    }

  private:
    void Flush();

    CAsyncSocket& m_socket;
    sys::TlsSession m_session;
    std::string m_strPending; // plaintext sent before the handshake was done
    std::string m_strFailure; // of the socket, under the session
};
