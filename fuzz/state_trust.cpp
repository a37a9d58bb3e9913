// Fuzzes what a signed system state is read with: the trust entries, the signature line, the
// decision with a trusted key, public keys and certificates. What is read is written back the
// same, and a state as installed gives its text back.
#include "FuzzCheck.h"
#include "config/StateBody.h"
#include "config/StateSignature.h"
#include "config/TrustEntries.h"
#include "formats/CertificatePem.h"
#include "formats/PublicKeyPem.h"

namespace {
constexpr formats::PublicKeyList kKey = formats::ParseP256PublicKeys(
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAENw9wk1usOethBP/VYQ9qAvUXq27p\n"
    "HIqwOzezSXjVn4nFoSJLn4f5ybWKZ3QSMazPynaWHdrK2JpquBJ9yFjpqQ==\n"
    "-----END PUBLIC KEY-----\n");
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const zyn::DigestEntry& entry : zyn::ReadTrustEntries(text).digests) {
        const zyn::TrustEntries again = zyn::ReadTrustEntries(zyn::DigestLine(entry) + "\n");
        Require(again.digests.size() == 1 && again.digests[0] == entry);
    }
    std::string_view signedBytes;
    sys::P256Signature signature;
    if (zyn::SplitSignedText(text, signedBytes, signature))
        Require(std::string(signedBytes) + zyn::SignatureLine(signature) == text);
    Require(!zyn::SplitSignedText(zyn::WithoutSignatureLines(text), signedBytes, signature));

    std::string file;
    Require(zyn::RewriteStateBody(std::string(zyn::kStateMarker) + "\n" + std::string(text), file));
    Require(zyn::StateTextOfFile(file) == text);
    zyn::JudgeStateText(text, std::span(kKey.keys.data(), kKey.count), 5, 1700000000);

    Require(formats::ParseP256PublicKeys(text).count <= formats::kMaxPublicKeys);
    constexpr size_t kMostText = 1 << 14;
    const auto certificates = formats::ParsePemCertificates<kMostText>(text.substr(0, kMostText));
    for (size_t i = 0; i < certificates.count; ++i)
        Require(formats::IsDerSequence(certificates[i].data(), certificates[i].size()));
    return 0;
}
