// The TLS server's chain on Windows, through crypt32: built with the pinned CAs as an additional
// store (Wine refuses an exclusive root) and its root compared byte for byte, the chain's own
// findings checked before the SSL policy. Leaves out: revocation, network fetches.
#include "framework/win32/CertChain.h"

#include <cstring>

namespace sys {

namespace {

constexpr DWORD kIgnoreUnknownCa = 0x00000100; // SECURITY_FLAG_IGNORE_UNKNOWN_CA of wininet.h

bool IsPinned(PCCERT_CONTEXT cert, HCERTSTORE pinned) {
    // Byte for byte: a match on issuer and serial number alone could be forged.
    for (PCCERT_CONTEXT ca = nullptr; (ca = CertEnumCertificatesInStore(pinned, ca));) {
        if (ca->cbCertEncoded == cert->cbCertEncoded &&
            std::memcmp(ca->pbCertEncoded, cert->pbCertEncoded, cert->cbCertEncoded) == 0) {
            CertFreeCertificateContext(ca);
            return true;
        }
    }
    return false;
}

const char* CheckChain(PCCERT_CHAIN_CONTEXT chain, HCERTSTORE pinned, const std::wstring& host) {
    const CERT_SIMPLE_CHAIN& simple = *chain->rgpChain[0];
    const CERT_CHAIN_ELEMENT& root = *simple.rgpElement[simple.cElement - 1];
    const bool selfSigned =
        simple.cElement == 1 && (root.TrustStatus.dwInfoStatus & CERT_TRUST_IS_SELF_SIGNED) != 0;
    // The chain's own findings first, in the order OpenSSL reports them: Wine's SSL policy lets
    // a chain without its issuer pass.
    DWORD errors = simple.TrustStatus.dwErrorStatus;
    if (pinned) {
        if (!IsPinned(root.pCertContext, pinned))
            return selfSigned ? "self-signed certificate" : "unknown issuer";
        errors &= ~DWORD{CERT_TRUST_IS_UNTRUSTED_ROOT};
    }
    if (errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN))
        return selfSigned ? "self-signed certificate" : "unknown issuer";
    for (DWORD i = 0; i < simple.cElement && (errors & CERT_TRUST_IS_NOT_TIME_VALID); ++i) {
        const CERT_CHAIN_ELEMENT& element = *simple.rgpElement[i];
        if (element.TrustStatus.dwErrorStatus & CERT_TRUST_IS_NOT_TIME_VALID) {
            const bool early = CertVerifyTimeValidity(nullptr, element.pCertContext->pCertInfo) < 0;
            return early ? "certificate is not yet valid" : "certificate has expired";
        }
    }
    if (errors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
        return "certificate not for servers";
    if (errors != CERT_TRUST_NO_ERROR)
        return "certificate refused";
    // Then the policy, for the name.
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    // A pinned root is not among the system's: only that is forgiven, never a date or a name.
    ssl.fdwChecks = pinned ? kIgnoreUnknownCa : 0;
    std::wstring name = host;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.dwFlags = pinned ? CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG : 0;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status))
        return "certificate chain not checked";
    switch (static_cast<HRESULT>(status.dwError)) {
    case S_OK:
        return nullptr;
    case CERT_E_CN_NO_MATCH:
        return "host name mismatch";
    case CERT_E_EXPIRED:
        return "certificate has expired";
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING:
        return "unknown issuer";
    default:
        return "certificate refused";
    }
}

} // namespace

const char* CheckServerChain(PCCERT_CONTEXT leaf, HCERTSTORE pinned, const std::wstring& host) {
    // The chain may run through what the server sent and, when pinned, the pinned CAs, which
    // are not trusted roots here.
    HCERTSTORE extra = leaf->hCertStore;
    HCERTSTORE both = nullptr;
    if (pinned && (both = CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr))) {
        CertAddStoreToCollection(both, leaf->hCertStore, 0, 0);
        CertAddStoreToCollection(both, pinned, 0, 0);
        extra = both;
    }
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    const char* failure = "certificate chain not built";
    // Nothing is fetched from the network: this runs on the window's thread.
    if (CertGetCertificateChain(nullptr, leaf, nullptr, extra, &para,
                                CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &chain) &&
        chain->cChain > 0 && chain->rgpChain[0]->cElement > 0)
        failure = CheckChain(chain, pinned, host);
    if (chain)
        CertFreeCertificateChain(chain);
    if (both)
        CertCloseStore(both, 0);
    return failure;
}

} // namespace sys
