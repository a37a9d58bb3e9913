// Base64 in the standard alphabet with padding, as key files and signature lines carry it.
// The decoder is strict, so that one text stands for one byte string, and usable at compile
// time, where the trusted keys are read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace formats {

inline constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of one character of the alphabet, -1 for any other: a few comparisons rather than a
// search, so that a large file stays within what the compiler evaluates at compile time.
constexpr int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

// Whole groups of four characters, '=' only as the padding of the last group, and the bits
// that the padding leaves over all zero. Fills `out` from its start; false when the text breaks
// a rule or decodes to more than `out` holds.
template <size_t N>
constexpr bool DecodeBase64(std::string_view text, std::array<uint8_t, N>& out, size_t& size) {
    if (text.size() % 4 != 0)
        return false;
    size = 0;
    for (size_t group = 0; group < text.size(); group += 4) {
        const bool last = group + 4 == text.size();
        uint32_t bits = 0;
        int padding = 0;
        for (size_t i = 0; i < 4; ++i) {
            const char c = text[group + i];
            const int value = Base64Value(c);
            if (c == '=' && last && i >= 2) {
                ++padding;
                bits <<= 6;
                continue;
            }
            if (value < 0 || padding > 0)
                return false;
            bits = (bits << 6) | static_cast<uint32_t>(value);
        }
        const size_t bytes = 3 - static_cast<size_t>(padding);
        if ((bits & ((1u << (8 * padding)) - 1)) != 0 || size + bytes > N)
            return false;
        for (size_t i = 0; i < bytes; ++i)
            out[size++] = static_cast<uint8_t>(bits >> (16 - 8 * i));
    }
    return true;
}

inline std::string EncodeBase64(const uint8_t* data, size_t size) {
    std::string text;
    text.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        const size_t bytes = size - i < 3 ? size - i : 3;
        uint32_t bits = 0;
        for (size_t k = 0; k < 3; ++k)
            bits = (bits << 8) | (k < bytes ? data[i + k] : 0);
        for (size_t k = 0; k < 4; ++k)
            text += k <= bytes ? kBase64Alphabet[(bits >> (18 - 6 * k)) & 63] : '=';
    }
    return text;
}

} // namespace formats
