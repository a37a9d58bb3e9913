// The TLS session on Linux, through libssl: a BIO over the session's own buffers, the chain
// checked against the default paths (SSL_CERT_FILE honoured) or the pinned CAs alone, TLS 1.2 at
// least. Leaves out: resumption, client certificates, revocation, sending close_notify.
#include "framework/TlsSession.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cstring>

namespace sys {

namespace {

// Four records' worth of plaintext per piece at most: few pieces, and a bounded buffer.
constexpr size_t kPlainCapacity = 64 * 1024;

const char* VerifyFailure(long result) {
    switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return "certificate has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "certificate is not yet valid";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return "host name mismatch";
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return "self-signed certificate";
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return "unknown issuer";
    default:
        return X509_verify_cert_error_string(result);
    }
}

} // namespace

struct TlsSession::Engine {
    TlsSession& session;
    SSL* ssl = nullptr;
    std::unique_ptr<char[]> plain = std::make_unique_for_overwrite<char[]>(kPlainCapacity);

    ~Engine() { SSL_free(ssl); }

    // Why the SSL object could not be made; nullptr when it was.
    const char* Start(const std::string& host, std::span<const CertificateDer> pinned);
    void Handshake();
    // Why the call that returned `result` failed, `stage` naming what was under way.
    void Fail(int result, const char* stage);

    // The BIO between libssl and the session's buffers.
    static BIO_METHOD* Method();
    static int ReadBio(BIO* bio, char* data, size_t size, size_t* done) {
        TlsSession& s = *static_cast<TlsSession*>(BIO_get_data(bio));
        BIO_clear_retry_flags(bio);
        const size_t count = std::min(size, s.m_nInEnd - s.m_nInBegin);
        *done = count;
        if (count == 0) {
            if (!s.m_bEnded)
                BIO_set_retry_read(bio);
            return 0;
        }
        std::memcpy(data, s.m_in.get() + s.m_nInBegin, count);
        s.Consume(count);
        return 1;
    }
    static int WriteBio(BIO* bio, const char* data, size_t size, size_t* done) {
        static_cast<TlsSession*>(BIO_get_data(bio))->m_out.append(data, size);
        *done = size;
        return 1;
    }
    static long ControlBio(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH; }
};

BIO_METHOD* TlsSession::Engine::Method() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "zyn session");
        if (m &&
            (BIO_meth_set_read_ex(m, ReadBio) != 1 || BIO_meth_set_write_ex(m, WriteBio) != 1 ||
             BIO_meth_set_ctrl(m, ControlBio) != 1)) {
            BIO_meth_free(m);
            m = nullptr;
        }
        return m;
    }();
    return method;
}

const char* TlsSession::Engine::Start(const std::string& host,
                                      std::span<const CertificateDer> pinned) {
    constexpr const char* kNoTls = "TLS is not available";
    const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(
        SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    if (!context || SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1)
        return kNoTls;
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    if (pinned.empty()) {
        if (SSL_CTX_set_default_verify_paths(context.get()) != 1)
            return "the system's trusted roots are unreadable";
    } else {
        // A fresh context's store is empty: the pinned CAs are all it will trust.
        X509_STORE* store = SSL_CTX_get_cert_store(context.get());
        for (CertificateDer der : pinned) {
            const unsigned char* bytes = der.data();
            X509* cert = d2i_X509(nullptr, &bytes, static_cast<long>(der.size()));
            const bool added = cert && X509_STORE_add_cert(store, cert) == 1;
            X509_free(cert);
            if (!added)
                return "a pinned CA certificate is unreadable";
        }
    }
    ssl = SSL_new(context.get());
    BIO* bio = Method() ? BIO_new(Method()) : nullptr;
    if (!ssl || !bio) {
        BIO_free(bio);
        return kNoTls;
    }
    BIO_set_data(bio, &session);
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl, bio, bio);
    // An address is checked as an address and never sent as a server name.
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1) {
        SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        if (SSL_set1_host(ssl, host.c_str()) != 1 ||
            SSL_set_tlsext_host_name(ssl, host.c_str()) != 1)
            return "the server name is unusable";
    }
    SSL_set_connect_state(ssl);
    return nullptr;
}

void TlsSession::Engine::Handshake() {
    ERR_clear_error();
    const int result = SSL_do_handshake(ssl);
    if (result == 1)
        session.m_state = State::Open;
    else
        Fail(result, "TLS handshake failed");
}

void TlsSession::Engine::Fail(int result, const char* stage) {
    const int error = SSL_get_error(ssl, result);
    if (error == SSL_ERROR_WANT_READ)
        return;
    if (error == SSL_ERROR_ZERO_RETURN) {
        // close_notify: the end of the data, but only once there was a session.
        if (session.m_state == State::Open)
            session.m_state = State::Closed;
        else
            session.FailAtEnd();
        return;
    }
    const long verified = SSL_get_verify_result(ssl);
    if (verified != X509_V_OK) {
        session.Fail(VerifyFailure(verified));
    } else if (session.m_bEnded && session.m_nInBegin == session.m_nInEnd) {
        session.FailAtEnd();
    } else {
        const char* reason = ERR_reason_error_string(ERR_peek_last_error());
        session.Fail(std::string(stage) + ": " +
                     (reason ? reason : "error " + std::to_string(error)));
    }
    ERR_clear_error();
}

TlsSession::TlsSession(const std::string& host, std::span<const CertificateDer> pinned)
    : m_engine(new Engine{*this}) {
    ERR_clear_error();
    if (const char* failure = m_engine->Start(host, pinned)) {
        ERR_clear_error();
        Fail(failure);
        return;
    }
    m_engine->Handshake();
}

TlsSession::~TlsSession() = default;

std::string_view TlsSession::Read() {
    if (m_state == State::Handshaking)
        m_engine->Handshake();
    char* const plain = m_engine->plain.get();
    size_t total = 0;
    while (m_state == State::Open && total < kPlainCapacity) {
        size_t count = 0;
        ERR_clear_error();
        const int result =
            SSL_read_ex(m_engine->ssl, plain + total, kPlainCapacity - total, &count);
        if (result != 1) {
            m_engine->Fail(result, "TLS failed");
            break;
        }
        total += count;
    }
    return {plain, total};
}

bool TlsSession::CanRead() const {
    return (m_state == State::Handshaking || m_state == State::Open) &&
           (WholeRecord() > 0 || SSL_pending(m_engine->ssl) > 0);
}

bool TlsSession::Write(std::string_view plaintext) {
    if (m_state != State::Open)
        return false;
    size_t written = 0;
    ERR_clear_error();
    const int result = plaintext.empty() ? 1
                                         : SSL_write_ex(m_engine->ssl, plaintext.data(),
                                                        plaintext.size(), &written);
    if (result != 1)
        m_engine->Fail(result, "TLS failed");
    return result == 1;
}

} // namespace sys
