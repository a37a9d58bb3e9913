// The lists of hosts reached without the proxy: no_proxy and ProxyOverride.
#include "net/ProxyBypass.h"

#include "config/TextRules.h"
#include "formats/AsciiCase.h"
#include "formats/IpAddress.h"

#include <algorithm>
#include <string>

namespace zyn {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The first `bits` bits of two addresses alike; a prefix longer than the address takes nothing.
template <size_t N>
bool SameNetwork(const std::array<uint8_t, N>& a, const std::array<uint8_t, N>& b, int32_t bits) {
    if (bits < 0 || static_cast<size_t>(bits) > N * 8)
        return false;
    const size_t whole = static_cast<size_t>(bits) / 8;
    const unsigned rest = static_cast<unsigned>(bits) % 8;
    if (!std::equal(a.begin(), a.begin() + static_cast<long>(whole), b.begin()))
        return false;
    const unsigned mask = (0xff00u >> rest) & 0xffu;
    return rest == 0 || ((a[whole] ^ b[whole]) & mask) == 0;
}

// One no_proxy entry against a host of the kind it is.
bool NoProxyEntryTakes(std::string_view entry, std::string_view name, const formats::Ipv4Bytes* v4,
                       const formats::Ipv6Bytes* v6) {
    if (v4 || v6) {
        const size_t slash = entry.find('/');
        // Without "/bits", or with "/0" as curl reads it, the whole address counts.
        int32_t bits = slash == std::string_view::npos
                           ? 0
                           : ParseLeadingInt32(std::string(entry.substr(slash + 1)));
        entry = entry.substr(0, slash);
        if (v4) {
            formats::Ipv4Bytes network;
            return formats::ParseIpv4(entry, network) &&
                   SameNetwork(*v4, network, bits ? bits : 32);
        }
        formats::Ipv6Bytes network;
        return formats::ParseIpv6(entry, network) && SameNetwork(*v6, network, bits ? bits : 128);
    }
    if (!entry.empty() && entry.back() == '.')
        entry.remove_suffix(1);
    if (!entry.empty() && entry.front() == '.')
        entry.remove_prefix(1);
    if (entry.empty() || entry.size() > name.size())
        return false;
    const size_t tail = name.size() - entry.size();
    return formats::EqualsNoCase(name.substr(tail), entry) && (tail == 0 || name[tail - 1] == '.');
}

// '*' for any text, letter case aside; the whole of `text` must match.
bool MatchesPattern(std::string_view pattern, std::string_view text) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
    };
    size_t p = 0, t = 0;
    size_t star = std::string_view::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && lower(pattern[p]) == lower(text[t])) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            // The last '*' takes one more character, and the rest is tried again.
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool IsInNoProxy(std::string_view list, std::string_view host) {
    if (host.empty() || list.empty())
        return false;
    if (list == "*")
        return true;
    formats::Ipv4Bytes v4;
    formats::Ipv6Bytes v6;
    const bool isV4 = formats::ParseIpv4(host, v4);
    const bool isV6 = !isV4 && formats::ParseIpv6(host, v6);
    std::string_view name = host;
    if (!isV4 && !isV6 && name.back() == '.')
        name.remove_suffix(1);
    size_t at = 0;
    while (at < list.size()) {
        while (at < list.size() && IsBlank(list[at]))
            ++at;
        const size_t start = at;
        while (at < list.size() && !IsBlank(list[at]) && list[at] != ',')
            ++at;
        if (at > start && NoProxyEntryTakes(list.substr(start, at - start), name,
                                            isV4 ? &v4 : nullptr, isV6 ? &v6 : nullptr))
            return true;
        while (at < list.size() && IsBlank(list[at]))
            ++at;
        // As curl reads it, the list ends where an entry is not followed by a comma.
        if (at >= list.size() || list[at] != ',')
            break;
        while (at < list.size() && list[at] == ',')
            ++at;
    }
    return false;
}

bool IsInProxyOverride(std::string_view list, std::string_view host) {
    for (size_t at = 0; at < list.size();) {
        const size_t end = std::min(list.find_first_of("; \t\r\n", at), list.size());
        const std::string_view entry = list.substr(at, end - at);
        at = end + 1;
        if (formats::EqualsNoCase(entry, "<local>")) {
            if (!host.empty() && host.find_first_of(".:") == std::string_view::npos)
                return true;
        } else if (!entry.empty() && MatchesPattern(entry, host)) {
            return true;
        }
    }
    return false;
}

} // namespace zyn
