// The signature of a system state and the decision whether a fetched state may replace the one
// on disk.
#include "config/StateSignature.h"

#include "config/StateBody.h"
#include "config/TextRules.h"
#include "config/TrustEntries.h"
#include "formats/Base64.h"

namespace zyn {

namespace {

// "ZynSignature=" and the 88 characters of 64 bytes in base64.
constexpr size_t kSignatureValueSize = 88;

// The line starting at `start` that ends with an LF, without it; the rest when none follows.
std::string_view LineAt(std::string_view text, size_t start) {
    const size_t end = text.find('\n', start);
    return text.substr(start, end == std::string_view::npos ? end : end - start);
}

bool IsSignatureLine(std::string_view line) {
    const std::string trimmed = TrimWhiteSpace(std::string(line));
    return trimmed.size() > kSignatureKey.size() &&
           trimmed.compare(0, kSignatureKey.size(), kSignatureKey) == 0 &&
           trimmed[kSignatureKey.size()] == '=';
}

} // namespace

bool StateTextOfBody(std::string_view body, std::string_view& text) {
    const std::string_view marker = kStateMarker;
    if (body.substr(0, marker.size()) != marker || body.substr(marker.size(), 1) != "\n")
        return false;
    text = body.substr(marker.size() + 1);
    return true;
}

std::string StateTextOfFile(std::string_view fileText) {
    std::string text;
    text.reserve(fileText.size());
    for (size_t i = 0; i < fileText.size(); ++i)
        if (fileText[i] != '\r' || i + 1 == fileText.size() || fileText[i + 1] != '\n')
            text += fileText[i];
    return text;
}

bool SplitSignedText(std::string_view text, std::string_view& signedBytes,
                     sys::P256Signature& signature) {
    if (text.size() < 2 || text.back() != '\n')
        return false;
    const size_t previous = text.rfind('\n', text.size() - 2);
    const size_t start = previous == std::string_view::npos ? 0 : previous + 1;
    const std::string_view line = text.substr(start, text.size() - 1 - start);
    const size_t prefix = kSignatureKey.size() + 1;
    if (line.size() != prefix + kSignatureValueSize + 1 ||
        line.substr(0, kSignatureKey.size()) != kSignatureKey || line[prefix - 1] != '=' ||
        line.back() != ';')
        return false;
    size_t size = 0;
    sys::P256Signature decoded;
    if (!formats::DecodeBase64(line.substr(prefix, kSignatureValueSize), decoded, size) ||
        size != decoded.size())
        return false;
    signedBytes = text.substr(0, start);
    signature = decoded;
    return true;
}

std::string SignatureLine(const sys::P256Signature& signature) {
    return std::string(kSignatureKey) + "=" +
           formats::EncodeBase64(signature.data(), signature.size()) + ";\n";
}

std::string WithoutSignatureLines(std::string_view text) {
    std::string kept;
    for (size_t start = 0; start < text.size();) {
        const std::string_view line = LineAt(text, start);
        const size_t next = std::min(text.size(), start + line.size() + 1);
        if (!IsSignatureLine(line))
            kept += text.substr(start, next - start);
        start = next;
    }
    return kept;
}

const char* StateVerdictText(StateVerdict verdict) {
    switch (verdict) {
    case StateVerdict::Accepted:
        return "accepted";
    case StateVerdict::Unsigned:
        return "no signature line at its end";
    case StateVerdict::BadSignature:
        return "the signature does not verify with a trusted key";
    case StateVerdict::MalformedEntry:
        return "an entry that cannot be read";
    case StateVerdict::NoSerial:
        return "no ZynSerial entry";
    case StateVerdict::OlderSerial:
        return "a serial lower than the one of the state on disk";
    case StateVerdict::ReusedSerial:
        return "the serial of the state on disk, on a different state";
    case StateVerdict::NoExpiry:
        return "no ZynExpires entry";
    case StateVerdict::Expired:
        return "expired";
    }
    return "?";
}

StateVerdict JudgeStateText(std::string_view text, std::span<const sys::P256PublicKey> keys,
                            std::optional<uint64_t> serialOnDisk, int64_t now,
                            std::optional<std::string_view> installedText) {
    if (keys.empty())
        return StateVerdict::Accepted;
    std::string_view signedBytes;
    sys::P256Signature signature;
    if (!SplitSignedText(text, signedBytes, signature))
        return StateVerdict::Unsigned;
    bool verified = false;
    for (const sys::P256PublicKey& key : keys)
        if ((verified = sys::VerifyP256Sha256(key, signedBytes, signature)))
            break;
    if (!verified)
        return StateVerdict::BadSignature;
    // Only signed bytes are read from here on.
    const TrustEntries entries = ReadTrustEntries(signedBytes);
    if (!entries.malformed.empty())
        return StateVerdict::MalformedEntry;
    if (!entries.serial)
        return StateVerdict::NoSerial;
    if (serialOnDisk && *entries.serial < *serialOnDisk)
        return StateVerdict::OlderSerial;
    if (serialOnDisk && *entries.serial == *serialOnDisk && installedText && text != *installedText)
        return StateVerdict::ReusedSerial;
    if (!entries.expires)
        return StateVerdict::NoExpiry;
    if (now > *entries.expires)
        return StateVerdict::Expired;
    return StateVerdict::Accepted;
}

StateVerdict JudgeStateBody(std::string_view body, std::span<const sys::P256PublicKey> keys,
                            std::optional<uint64_t> serialOnDisk, int64_t now,
                            std::optional<std::string_view> installedText) {
    std::string_view text;
    if (keys.empty())
        return StateVerdict::Accepted;
    if (!StateTextOfBody(body, text))
        return StateVerdict::Unsigned;
    return JudgeStateText(text, keys, serialOnDisk, now, installedText);
}

std::optional<uint64_t> SerialOfStateFile(std::string_view fileText) {
    return ReadTrustEntries(StateTextOfFile(fileText)).serial;
}

} // namespace zyn
