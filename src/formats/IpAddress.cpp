// IP addresses in their text forms, read as inet_pton reads them.
#include "formats/IpAddress.h"

#include "formats/AsciiCase.h"

#include <algorithm>

namespace formats {

bool ParseIpv4(std::string_view text, Ipv4Bytes& bytes) {
    Ipv4Bytes parsed{};
    size_t octet = 0;
    size_t digits = 0;
    unsigned value = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if ((digits > 0 && value == 0) || (value = value * 10 + unsigned(c - '0')) > 255)
                return false;
            ++digits;
        } else if (c == '.' && digits > 0 && octet < 3) {
            parsed[octet++] = static_cast<uint8_t>(value);
            digits = 0;
            value = 0;
        } else {
            return false;
        }
    }
    if (octet != 3 || digits == 0)
        return false;
    parsed[3] = static_cast<uint8_t>(value);
    bytes = parsed;
    return true;
}

bool ParseIpv6(std::string_view text, Ipv6Bytes& bytes) {
    Ipv6Bytes parsed{};
    size_t count = 0;                    // bytes filled so far
    size_t gap = std::string_view::npos; // where "::" stands, counted in bytes
    size_t at = 0;
    if (text.substr(0, 2) == "::") {
        gap = 0;
        at = 2;
    } else if (text.empty() || text[0] == ':') {
        return false;
    }
    while (at < text.size()) {
        const size_t end = std::min(text.find(':', at), text.size());
        const std::string_view group = text.substr(at, end - at);
        if (end == text.size() && group.find('.') != std::string_view::npos) {
            Ipv4Bytes v4;
            if (count > 12 || !ParseIpv4(group, v4))
                return false;
            std::copy(v4.begin(), v4.end(), parsed.begin() + static_cast<long>(count));
            count += 4;
            break;
        }
        if (group.empty() || group.size() > 4 || count == 16)
            return false;
        unsigned value = 0;
        for (char c : group) {
            if (formats::HexDigitValue(c) < 0)
                return false;
            value = value * 16 + static_cast<unsigned>(formats::HexDigitValue(c));
        }
        parsed[count++] = static_cast<uint8_t>(value >> 8);
        parsed[count++] = static_cast<uint8_t>(value);
        if (end == text.size())
            break;
        at = end + 1;
        if (at < text.size() && text[at] == ':') {
            if (gap != std::string_view::npos)
                return false;
            gap = count;
            ++at;
        } else if (at == text.size()) {
            return false; // a single ':' at the end
        }
    }
    if (gap == std::string_view::npos) {
        if (count != 16)
            return false;
    } else {
        // "::" stands for one group at least.
        if (count == 16)
            return false;
        std::move_backward(parsed.begin() + static_cast<long>(gap),
                           parsed.begin() + static_cast<long>(count), parsed.end());
        std::fill(parsed.begin() + static_cast<long>(gap),
                  parsed.end() - static_cast<long>(count - gap), 0);
    }
    bytes = parsed;
    return true;
}

} // namespace formats
