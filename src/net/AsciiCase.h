// Letter case in protocol text (schemes, header names, tokens): ASCII letters only, whatever
// the locale.
#pragma once

#include <algorithm>
#include <string_view>

namespace zyn {

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace zyn
