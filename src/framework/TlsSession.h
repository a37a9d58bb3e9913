// A TLS client session that moves no bytes itself: its owner feeds it the ciphertext that came
// from the socket and takes from it the ciphertext to send and the plaintext received. The TLS
// is the platform's (OpenSSL's libssl on Linux, Schannel on Windows), never our own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace sys {

// One certificate in its DER form.
using CertificateDer = std::span<const uint8_t>;

class TlsSession {
  public:
    enum class State {
        Handshaking,
        Open,   // application data flows
        Closed, // the server ended its data with close_notify
        Failed, // GetFailure names the cause; nothing flows any more
    };
    // Enough for several of the largest records, so that a socket read can be large.
    static constexpr size_t kInputCapacity = 128 * 1024;

    // A session with the server named `host`: the name sent as the server name and the one its
    // certificate must carry. Its chain must end in one of `pinned` when that is not empty (the
    // system's own roots count for nothing then), else in one of the system's trusted roots.
    // TLS 1.2 and 1.3 only. The first handshake message is in Output() at once.
    TlsSession(const std::string& host, std::span<const CertificateDer> pinned);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    State GetState() const { return m_state; }
    // "certificate has expired", "host name mismatch", "self-signed certificate", "unknown
    // issuer", "TLS handshake failed: ...", "connection ended without close_notify" ...
    const std::string& GetFailure() const { return m_strFailure; }

    // Ciphertext in, without a copy of our own: the socket reads straight into ReceiveSpace()
    // (empty while the input holds whole records that Read has not taken yet) and Received
    // tells how much it put there.
    std::span<char> ReceiveSpace();
    void Received(size_t count);
    // The end of the server's stream: a failure unless close_notify came first.
    void ReceivedEnd();

    // Takes the handshake as far as the input allows, then yields the plaintext received, a
    // piece at a time; empty when it needs more ciphertext or the state is no longer Open.
    // Plaintext that came before a failure or the close is still yielded. A piece stays valid
    // until the next call of Read or ReceiveSpace.
    std::string_view Read();
    // Whether Read can yield more without further ciphertext (a whole record is waiting): pieces
    // already received bring no socket notification of their own.
    bool CanRead() const;

    // Plaintext out, encrypted at once into Output(); only while Open.
    bool Write(std::string_view plaintext);
    // Ciphertext waiting to be sent, and how much of it the socket took.
    std::string_view Output() const { return std::string_view(m_out).substr(m_nOutSent); }
    void Sent(size_t count);

  private:
    struct Engine; // the platform's part, in each backend
    void Fail(std::string reason);
    // The server's stream ended where more was due.
    void FailAtEnd();
    // Bytes of the whole record at the start of the input; 0 while it is incomplete.
    size_t WholeRecord() const;
    void Consume(size_t count) { m_nInBegin += count; }

    State m_state = State::Handshaking;
    std::string m_strFailure;
    // Ciphertext received; [m_nInBegin, m_nInEnd) not yet taken.
    std::unique_ptr<char[]> m_in = std::make_unique_for_overwrite<char[]>(kInputCapacity);
    size_t m_nInBegin = 0;
    size_t m_nInEnd = 0;
    bool m_bEnded = false; // the server's stream has ended
    std::string m_out;
    size_t m_nOutSent = 0;
    std::unique_ptr<Engine> m_engine;
};

} // namespace sys
