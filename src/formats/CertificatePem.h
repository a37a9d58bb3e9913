// Certificates from PEM text, as openssl writes them, turned into their DER bytes. Usable at
// compile time: the build reads the pinned CAs with it, so that a file holding anything else, or
// no certificate at all, fails the build instead of leaving a launcher that trusts nothing.
#pragma once

#include <span>

#include "formats/Base64.h"
#include "formats/PublicKeyPem.h"

namespace formats {

inline constexpr std::string_view kPemCertificateBegin = "-----BEGIN CERTIFICATE-----";
inline constexpr std::string_view kPemCertificateEnd = "-----END CERTIFICATE-----";
inline constexpr size_t kMaxCertificates = 100;

// The certificates of a text of N characters, whose DER is never longer than the text.
template <size_t N> struct CertificateList {
    std::array<uint8_t, N> der{};
    std::array<size_t, kMaxCertificates + 1> starts{}; // certificate i: [starts[i], starts[i+1])
    size_t count = 0;
    bool ok = false; // false: the text holds something that is not a certificate block

    constexpr std::span<const uint8_t> operator[](size_t i) const {
        return std::span<const uint8_t>(der.data() + starts[i], starts[i + 1] - starts[i]);
    }
};

// DER is a SEQUENCE whose length, in its short or long form, accounts for every byte.
constexpr bool IsDerSequence(const uint8_t* der, size_t size) {
    if (size < 2 || der[0] != 0x30)
        return false;
    if (der[1] < 0x80)
        return size == 2 + size_t{der[1]};
    const size_t digits = der[1] & 0x7f;
    if (digits == 0 || digits > 4 || size < 2 + digits)
        return false;
    size_t length = 0;
    for (size_t i = 0; i < digits; ++i)
        length = length << 8 | der[2 + i];
    return size == 2 + digits + length;
}

// The DER of one block's base64 appended at `size`. Line breaks may fall anywhere; only the last
// group of four characters may carry padding, and the bits that it leaves over must be zero.
template <size_t N>
constexpr bool DecodeCertificateBlock(std::string_view body, std::array<uint8_t, N>& der,
                                      size_t& size) {
    const size_t start = size;
    uint32_t bits = 0;
    size_t filled = 0, padding = 0;
    bool padded = false;
    for (const char c : body) {
        if (IsPemSpace(c))
            continue;
        const int value = Base64Value(c);
        if (padded || (c == '=' ? filled < 2 : value < 0 || padding > 0))
            return false;
        padding += c == '=';
        bits = bits << 6 | static_cast<uint32_t>(value < 0 ? 0 : value);
        if (++filled < 4)
            continue;
        if ((bits & ((1u << (8 * padding)) - 1)) != 0 || size + 3 - padding > N)
            return false;
        for (size_t k = 0; k < 3 - padding; ++k)
            der[size++] = static_cast<uint8_t>(bits >> (16 - 8 * k));
        padded = padding > 0;
        filled = 0;
        bits = 0;
    }
    return filled == 0 && IsDerSequence(der.data() + start, size - start);
}

// Any number of "CERTIFICATE" blocks with white space around them, and nothing else.
template <size_t N> constexpr CertificateList<N> ParsePemCertificates(std::string_view text) {
    CertificateList<N> list;
    size_t size = 0;
    list.ok =
        ForEachPemBlock(text, kPemCertificateBegin, kPemCertificateEnd, [&](std::string_view body) {
            if (list.count == kMaxCertificates || !DecodeCertificateBlock(body, list.der, size))
                return false;
            list.starts[++list.count] = size;
            return true;
        });
    return list;
}

} // namespace formats
