// The TLS session on Windows, through Schannel (SSPI): TLS 1.2 and 1.3 credentials, records
// decrypted in place, post-handshake messages handed back, the chain checked by
// Win32CertChain.cpp. Leaves out: resumption, client certificates, sending close_notify.
#include "framework/TlsSession.h"

#include "framework/win32/CertChain.h"
#include "framework/win32/WinApi.h"

// SCH_CREDENTIALS and TLS_PARAMETERS come only with SCHANNEL_USE_BLACKLISTS, and need
// UNICODE_STRING.
#define SCHANNEL_USE_BLACKLISTS
#define SECURITY_WIN32
#include <subauth.h>
#include <wincrypt.h>

#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace sys {

namespace {

constexpr ULONG kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                           ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                           ISC_REQ_EXTENDED_ERROR | ISC_REQ_MANUAL_CRED_VALIDATION;
constexpr DWORD kOldProtocols = SP_PROT_SSL2 | SP_PROT_SSL3 | SP_PROT_TLS1_0 | SP_PROT_TLS1_1;

std::wstring Widen(const std::string& text) {
    std::wstring wide;
    for (char c : text)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

std::string StatusText(const char* stage, SECURITY_STATUS status) {
    const char* text = "";
    switch (status) {
    case SEC_E_ALGORITHM_MISMATCH:
        text = "no protocol version or cipher in common";
        break;
    case SEC_E_UNSUPPORTED_FUNCTION:
        text = "unsupported protocol";
        break;
    case SEC_E_ILLEGAL_MESSAGE:
        text = "illegal message";
        break;
    case SEC_E_DECRYPT_FAILURE:
    case SEC_E_MESSAGE_ALTERED:
        text = "record altered";
        break;
    case SEC_E_INTERNAL_ERROR:
        text = "internal error";
        break;
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
    return std::string(stage) + ": " + (*text ? std::string(text) + " (" + code + ")" : code);
}

} // namespace

struct TlsSession::Engine {
    TlsSession& session;
    std::string host;
    std::wstring wideHost;
    CredHandle credentials{};
    bool hasCredentials = false;
    CtxtHandle context{};
    bool hasContext = false;
    bool renegotiating = false;
    bool callAnyway = false; // the next step calls even without input
    SecPkgContext_StreamSizes sizes{};
    HCERTSTORE pinned = nullptr; // the pinned CAs; none: the system's roots

    ~Engine() {
        if (hasContext)
            DeleteSecurityContext(&context);
        if (hasCredentials)
            FreeCredentialsHandle(&credentials);
        if (pinned)
            CertCloseStore(pinned, 0);
    }

    // Credentials that allow nothing older than TLS 1.2.
    bool Acquire(void* data) {
        hasCredentials = AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A),
                                                   SECPKG_CRED_OUTBOUND, nullptr, data, nullptr,
                                                   nullptr, &credentials, nullptr) == SEC_E_OK;
        SecPkgCred_SupportedProtocols allowed{};
        if (hasCredentials &&
            (QueryCredentialsAttributesA(&credentials, SECPKG_ATTR_SUPPORTED_PROTOCOLS, &allowed) !=
                 SEC_E_OK ||
             (allowed.grbitProtocol & kOldProtocols) != 0)) {
            FreeCredentialsHandle(&credentials);
            hasCredentials = false;
        }
        return hasCredentials;
    }
    bool Acquire();
    bool Step();
    bool Established();
    bool Verify();
};

bool TlsSession::Engine::Acquire() {
    constexpr DWORD kFlags =
        SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    constexpr DWORD kWanted = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
    // Only SCH_CREDENTIALS allow TLS 1.3 on Windows; older Schannels refuse them, and Wine 8's
    // takes them but ignores their disabled protocols, so SCHANNEL_CRED come next (Wine 8
    // enables no TLS 1.3 with them, older Windows may refuse it).
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols = ~kWanted;
    SCH_CREDENTIALS modern{};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = kFlags;
    modern.cTlsParameters = 1;
    modern.pTlsParameters = &parameters;
    if (Acquire(&modern))
        return true;
    for (DWORD protocols : {kWanted, DWORD{SP_PROT_TLS1_2_CLIENT}}) {
        SCHANNEL_CRED legacy{};
        legacy.dwVersion = SCHANNEL_CRED_VERSION;
        legacy.grbitEnabledProtocols = protocols;
        legacy.dwFlags = kFlags;
        if (Acquire(&legacy))
            return true;
    }
    return false;
}

// One call of InitializeSecurityContext with the input so far; true when another may get on.
bool TlsSession::Engine::Step() {
    TlsSession& s = session;
    const size_t available = s.m_nInEnd - s.m_nInBegin;
    if (hasContext && available == 0 && !callAnyway) {
        if (s.m_bEnded)
            s.FailAtEnd();
        return false;
    }
    callAnyway = false;
    SecBuffer in[2] = {
        {static_cast<ULONG>(available), SECBUFFER_TOKEN, s.m_in.get() + s.m_nInBegin},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBuffer out[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
    SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, in};
    SecBufferDesc outDesc = {SECBUFFER_VERSION, 2, out};
    ULONG attributes = 0;
    const SECURITY_STATUS status = InitializeSecurityContextA(
        &credentials, hasContext ? &context : nullptr, host.data(), kRequest, 0, 0,
        hasContext ? &inDesc : nullptr, 0, &context, &outDesc, &attributes, nullptr);
    // Whatever it made goes out, an alert after a failure included.
    for (SecBuffer& buffer : out) {
        if (buffer.pvBuffer) {
            s.m_out.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
            FreeContextBuffer(buffer.pvBuffer);
        }
    }
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
        if (s.m_bEnded)
            s.FailAtEnd();
        return false;
    }
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED &&
        status != SEC_I_INCOMPLETE_CREDENTIALS) {
        s.Fail(StatusText("TLS handshake failed", status));
        return false;
    }
    const bool first = !hasContext;
    hasContext = true;
    const size_t left = in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0;
    const size_t taken = first ? 0 : available - std::min(left, available);
    s.Consume(taken);
    if (status == SEC_E_OK) {
        renegotiating = false;
        return Established();
    }
    if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
        // The server asked for a client certificate: we go on without one.
        callAnyway = true;
        return true;
    }
    return taken > 0 && s.m_nInBegin < s.m_nInEnd;
}

bool TlsSession::Engine::Established() {
    TlsSession& s = session;
    if (QueryContextAttributesA(&context, SECPKG_ATTR_STREAM_SIZES, &sizes) != SEC_E_OK ||
        sizes.cbMaximumMessage == 0) {
        s.Fail("TLS handshake failed: no stream sizes");
        return false;
    }
    SecPkgContext_ConnectionInfo info{};
    if (QueryContextAttributesA(&context, SECPKG_ATTR_CONNECTION_INFO, &info) == SEC_E_OK &&
        (info.dwProtocol & kOldProtocols) != 0) {
        s.Fail("TLS handshake failed: a protocol version below TLS 1.2");
        return false;
    }
    // A renegotiation may have brought another certificate: it is checked as the first was.
    if (!Verify())
        return false;
    if (s.m_state == State::Handshaking)
        s.m_state = State::Open;
    return true;
}

bool TlsSession::Engine::Verify() {
    PCCERT_CONTEXT leaf = nullptr;
    if (QueryContextAttributesA(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &leaf) != SEC_E_OK ||
        !leaf) {
        session.Fail("TLS handshake failed: no server certificate");
        return false;
    }
    const char* failure = CheckServerChain(leaf, pinned, wideHost);
    CertFreeCertificateContext(leaf);
    if (failure)
        session.Fail(failure);
    return !failure;
}

TlsSession::TlsSession(const std::string& host, std::span<const CertificateDer> pinned)
    : m_engine(new Engine{*this, host, Widen(host)}) {
    Engine& e = *m_engine;
    if (!pinned.empty()) {
        e.pinned = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
        for (CertificateDer der : pinned) {
            if (!e.pinned || !CertAddEncodedCertificateToStore(
                                 e.pinned, X509_ASN_ENCODING, der.data(),
                                 static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS, nullptr)) {
                Fail("a pinned CA certificate is unreadable");
                return;
            }
        }
    }
    if (!e.Acquire()) {
        Fail("TLS is not available");
        return;
    }
    e.Step();
}

TlsSession::~TlsSession() = default;

std::string_view TlsSession::Read() {
    Engine& e = *m_engine;
    for (;;) {
        if (m_state == State::Handshaking || (m_state == State::Open && e.renegotiating)) {
            if (!e.Step())
                return {};
            continue;
        }
        if (m_state != State::Open)
            return {};
        if (WholeRecord() == 0) {
            if (m_bEnded)
                FailAtEnd();
            return {};
        }
        const size_t available = m_nInEnd - m_nInBegin;
        SecBuffer buffers[4] = {
            {static_cast<ULONG>(available), SECBUFFER_DATA, m_in.get() + m_nInBegin},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = DecryptMessage(&e.context, &desc, 0, nullptr);
        if (status == SEC_I_CONTEXT_EXPIRED) {
            m_state = State::Closed;
            return {};
        }
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) {
            Fail(StatusText("TLS failed", status));
            return {};
        }
        // The plaintext stays where its record was; the records after it wait as they came.
        std::string_view piece;
        size_t left = 0;
        for (const SecBuffer& buffer : std::span(buffers).subspan(1)) {
            if (buffer.BufferType == SECBUFFER_DATA && buffer.pvBuffer)
                piece =
                    std::string_view(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
            else if (buffer.BufferType == SECBUFFER_EXTRA)
                left = buffer.cbBuffer;
        }
        if (left >= available) {
            Fail("TLS failed: a record that nothing took");
            return {};
        }
        Consume(available - left);
        if (status == SEC_I_RENEGOTIATE) {
            e.renegotiating = true;
            e.callAnyway = true;
        }
        if (!piece.empty())
            return piece;
    }
}

bool TlsSession::CanRead() const {
    return (m_state == State::Handshaking || m_state == State::Open) && WholeRecord() > 0;
}

bool TlsSession::Write(std::string_view plaintext) {
    if (m_state != State::Open)
        return false;
    const SecPkgContext_StreamSizes& sizes = m_engine->sizes;
    while (!plaintext.empty()) {
        // Encrypted in place, in the output itself.
        const size_t size = std::min<size_t>(plaintext.size(), sizes.cbMaximumMessage);
        const size_t start = m_out.size();
        m_out.resize(start + sizes.cbHeader + size + sizes.cbTrailer);
        char* record = m_out.data() + start;
        std::memcpy(record + sizes.cbHeader, plaintext.data(), size);
        SecBuffer buffers[4] = {
            {sizes.cbHeader, SECBUFFER_STREAM_HEADER, record},
            {static_cast<ULONG>(size), SECBUFFER_DATA, record + sizes.cbHeader},
            {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record + sizes.cbHeader + size},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = EncryptMessage(&m_engine->context, 0, &desc, 0);
        if (status != SEC_E_OK) {
            m_out.resize(start);
            Fail(StatusText("TLS failed", status));
            return false;
        }
        m_out.resize(start + buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        plaintext.remove_prefix(size);
    }
    return true;
}

} // namespace sys
