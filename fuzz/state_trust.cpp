// Fuzzes what a signed system state is read with: the trust entries, the signature line, the
// acceptance decision with a trusted key, public key and certificate files. Besides memory faults
// it checks that what is read is written back the same, and that a state as installed gives its
// text back.
#include "config/StateBody.h"
#include "config/StateSignature.h"
#include "config/TrustEntries.h"
#include "formats/CertificatePem.h"
#include "formats/PublicKeyPem.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

constexpr formats::PublicKeyList kKey = formats::ParseP256PublicKeys(
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAENw9wk1usOethBP/VYQ9qAvUXq27p\n"
    "HIqwOzezSXjVn4nFoSJLn4f5ybWKZ3QSMazPynaWHdrK2JpquBJ9yFjpqQ==\n"
    "-----END PUBLIC KEY-----\n");

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    for (const zyn::DigestEntry& entry : zyn::ReadTrustEntries(text).digests) {
        const zyn::TrustEntries again = zyn::ReadTrustEntries(zyn::DigestLine(entry) + "\n");
        Check(again.digests.size() == 1 && again.digests[0] == entry);
    }

    std::string_view signedBytes;
    sys::P256Signature signature;
    if (zyn::SplitSignedText(text, signedBytes, signature))
        Check(std::string(signedBytes) + zyn::SignatureLine(signature) == text);
    Check(!zyn::SplitSignedText(zyn::WithoutSignatureLines(text), signedBytes, signature));

    std::string file;
    Check(zyn::RewriteStateBody(std::string(zyn::kStateMarker) + "\n" + std::string(text), file));
    Check(zyn::StateTextOfFile(file) == text);
    zyn::JudgeStateText(text, std::span(kKey.keys.data(), kKey.count), 5, 1700000000);

    const formats::PublicKeyList keys = formats::ParseP256PublicKeys(text);
    Check(keys.count <= formats::kMaxPublicKeys);
    constexpr size_t kMostText = 1 << 14;
    const auto certificates = formats::ParsePemCertificates<kMostText>(text.substr(0, kMostText));
    for (size_t i = 0; i < certificates.count; ++i)
        Check(formats::IsDerSequence(certificates[i].data(), certificates[i].size()));
    return 0;
}
