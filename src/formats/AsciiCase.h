// ASCII in protocol text (schemes, header names, tokens, hex numbers): letter case and hex
// digits, whatever the locale.
#pragma once

#include <algorithm>
#include <string_view>

namespace formats {

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// 0 to 15, or -1 for a byte that is no hex digit.
inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
        return (c | 0x20) - 'a' + 10;
    return -1;
}

} // namespace formats
