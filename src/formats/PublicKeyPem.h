// P-256 public keys from PEM text, as "openssl ec -pubout" writes them, as raw points. Usable at
// compile time: a trusted keys file holding anything else fails the build.
#pragma once

#include "formats/Base64.h"
#include "framework/Crypto.h"

namespace formats {

// DER is distinguished, so every P-256 public key with the curve named and the point
// uncompressed is this prefix followed by the 65 bytes of the point: comparing the prefix
// refuses every other algorithm, curve, parameter form and point form at once.
inline constexpr std::array<uint8_t, 26> kP256KeyInfoPrefix = {
    0x30, 0x59,                                                 // SubjectPublicKeyInfo
    0x30, 0x13,                                                 //   AlgorithmIdentifier
    0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01,       //     id-ecPublicKey
    0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07, //     prime256v1
    0x03, 0x42, 0x00};                                          //   BIT STRING, no unused bits
inline constexpr std::string_view kPemKeyBegin = "-----BEGIN PUBLIC KEY-----";
inline constexpr std::string_view kPemKeyEnd = "-----END PUBLIC KEY-----";
inline constexpr size_t kMaxPublicKeys = 16;

struct PublicKeyList {
    std::array<sys::P256PublicKey, kMaxPublicKeys> keys{};
    size_t count = 0;
    bool ok = false; // false: the text holds something that is not a P-256 public key block
};

constexpr bool IsPemSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Hands the body of each block between a `begin` and an `end` line to `take`, in order. False
// when the text holds anything but such blocks and white space, or `take` refuses a body.
template <class Take>
constexpr bool ForEachPemBlock(std::string_view text, std::string_view begin, std::string_view end,
                               Take take) {
    for (size_t at = 0;;) {
        while (at < text.size() && IsPemSpace(text[at]))
            ++at;
        if (at == text.size())
            return true;
        if (text.substr(at, begin.size()) != begin)
            return false;
        at += begin.size();
        const size_t stop = text.find(end, at);
        if (stop == std::string_view::npos || !take(text.substr(at, stop - at)))
            return false;
        at = stop + end.size();
    }
}

// The base64 between one block's lines, line breaks and all.
constexpr bool DecodeP256KeyBlock(std::string_view body, sys::P256PublicKey& key) {
    std::array<char, 4 * ((kP256KeyInfoPrefix.size() + 65 + 2) / 3)> text{};
    size_t length = 0;
    for (char c : body) {
        if (IsPemSpace(c))
            continue;
        if (length == text.size())
            return false;
        text[length++] = c;
    }
    std::array<uint8_t, kP256KeyInfoPrefix.size() + 65> der{};
    size_t size = 0;
    if (!DecodeBase64(std::string_view(text.data(), length), der, size) || size != der.size())
        return false;
    for (size_t i = 0; i < kP256KeyInfoPrefix.size(); ++i)
        if (der[i] != kP256KeyInfoPrefix[i])
            return false;
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = der[kP256KeyInfoPrefix.size() + i];
    return key[0] == 0x04;
}

// Any number of "PUBLIC KEY" blocks with white space around them, and nothing else.
constexpr PublicKeyList ParseP256PublicKeys(std::string_view text) {
    PublicKeyList list;
    list.ok = ForEachPemBlock(text, kPemKeyBegin, kPemKeyEnd, [&list](std::string_view body) {
        return list.count < kMaxPublicKeys && DecodeP256KeyBlock(body, list.keys[list.count++]);
    });
    return list;
}

} // namespace formats
