// The parts of an http[s] URL, where a redirection leads, and percent-encoding.
#include "net/HttpUrl.h"

#include "formats/AsciiCase.h"
#include "formats/IpAddress.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace zyn {

namespace {

// A blank or a control byte would end the request line or start a header of its own.
bool IsUnsafeInRequest(unsigned char c) {
    return c <= ' ' || c == 0x7f;
}

// 1 to 65535 in decimal digits only.
bool ParsePort(const std::string& text, uint16_t& port) {
    if (text.empty() || text.size() > 5)
        return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

// The host and port of `url.authority`: a name or IPv4 address, or an IPv6 address in brackets,
// then ":port" or nothing.
bool SplitAuthority(HttpUrl& url) {
    const std::string& authority = url.authority;
    // User names are not spoken here; one would mislead the Host header.
    if (authority.find('@') != std::string::npos)
        return false;
    size_t colon = std::string::npos;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        formats::Ipv6Bytes bytes;
        if (close == std::string::npos ||
            !formats::ParseIpv6(std::string_view(authority).substr(1, close - 1), bytes))
            return false;
        url.host = authority.substr(1, close - 1);
        if (close + 1 < authority.size() && authority[close + 1] != ':')
            return false;
        colon = close + 1 < authority.size() ? close + 1 : std::string::npos;
    } else {
        if (authority.find_first_of("[]") != std::string::npos)
            return false;
        colon = authority.find(':');
        url.host = authority.substr(0, colon);
        if (url.host.empty())
            return false;
    }
    return colon == std::string::npos || ParsePort(authority.substr(colon + 1), url.port);
}

// A URI reference in the five parts of RFC 3986 appendix B, the fragment left out.
struct Reference {
    std::optional<std::string_view> scheme;
    std::optional<std::string_view> authority;
    std::string_view path;
    std::optional<std::string_view> query;
};

Reference ParseReference(std::string_view text) {
    Reference parts;
    text = text.substr(0, text.find('#'));
    const size_t colon = text.find_first_of(":/?");
    if (colon != std::string_view::npos && colon > 0 && text[colon] == ':') {
        parts.scheme = text.substr(0, colon);
        text.remove_prefix(colon + 1);
    }
    if (text.substr(0, 2) == "//") {
        text.remove_prefix(2);
        const size_t end = std::min(text.find_first_of("/?"), text.size());
        parts.authority = text.substr(0, end);
        text.remove_prefix(end);
    }
    const size_t question = text.find('?');
    parts.path = text.substr(0, question);
    if (question != std::string_view::npos)
        parts.query = text.substr(question + 1);
    return parts;
}

// RFC 3986 section 5.2.4, step by step: "." and ".." segments go, each ".." with the segment
// before it.
std::string RemoveDotSegments(std::string_view input) {
    std::string output;
    while (!input.empty()) {
        if (input.substr(0, 3) == "../") {
            input.remove_prefix(3);
        } else if (input.substr(0, 2) == "./") {
            input.remove_prefix(2);
        } else if (input.substr(0, 3) == "/./") {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.substr(0, 4) == "/../" || input == "/..") {
            input = input.size() == 3 ? std::string_view("/") : input.substr(3);
            output.erase(std::min(output.rfind('/'), output.size()));
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            const size_t end = std::min(input.find('/', 1), input.size());
            output.append(input.substr(0, end));
            input.remove_prefix(end);
        }
    }
    return output;
}

} // namespace

UrlSplit SplitHttpUrl(const std::string& url, HttpUrl& parts) {
    if (std::any_of(url.begin(), url.end(),
                    [](char c) { return IsUnsafeInRequest(static_cast<unsigned char>(c)); }))
        return UrlSplit::Malformed;
    const std::string text = url.substr(0, url.find('#'));
    const size_t schemeEnd = text.find("://");
    if (schemeEnd == std::string::npos || schemeEnd == 0)
        return UrlSplit::Malformed;
    HttpUrl split;
    const std::string_view scheme = std::string_view(text).substr(0, schemeEnd);
    if (formats::EqualsNoCase(scheme, "https")) {
        split.scheme = "https";
        split.port = 443;
    } else if (!formats::EqualsNoCase(scheme, "http")) {
        return UrlSplit::UnsupportedScheme;
    }

    const size_t authorityStart = schemeEnd + 3;
    const size_t pathStart = std::min(text.find_first_of("/?", authorityStart), text.size());
    split.authority = text.substr(authorityStart, pathStart - authorityStart);
    split.path = text.substr(pathStart);
    if (split.path.empty() || split.path[0] != '/')
        split.path.insert(0, "/");
    if (!SplitAuthority(split))
        return UrlSplit::Malformed;
    parts = split;
    return UrlSplit::Ok;
}

UrlSplit FollowLocation(const std::string& current, const std::string& location, std::string& next,
                        HttpUrl& parts) {
    const Reference base = ParseReference(current);
    const Reference reference = ParseReference(location);
    Reference target = reference;
    std::string path;
    if (reference.scheme) {
        path = RemoveDotSegments(reference.path);
    } else {
        target.scheme = base.scheme;
        if (reference.authority) {
            path = RemoveDotSegments(reference.path);
        } else {
            target.authority = base.authority;
            if (reference.path.empty()) {
                path = base.path;
                if (!reference.query)
                    target.query = base.query;
            } else if (reference.path[0] == '/') {
                path = RemoveDotSegments(reference.path);
            } else {
                // Merged with the base's path up to its last "/" (section 5.2.3).
                const std::string_view directory =
                    base.authority && base.path.empty()
                        ? std::string_view("/")
                        : base.path.substr(0, base.path.rfind('/') + 1);
                path = RemoveDotSegments(std::string(directory).append(reference.path));
            }
        }
    }
    std::string resolved = std::string(target.scheme.value_or("")) + ":";
    if (target.authority)
        resolved.append("//").append(*target.authority);
    resolved += path;
    if (target.query)
        resolved.append("?").append(*target.query);

    HttpUrl split;
    const UrlSplit result = SplitHttpUrl(resolved, split);
    if (result != UrlSplit::Ok)
        return result;
    if (base.scheme && formats::EqualsNoCase(*base.scheme, "https") && split.scheme != "https")
        return UrlSplit::Downgrade;
    next = resolved;
    parts = split;
    return UrlSplit::Ok;
}

std::string EncodePathSegment(const std::string& name) {
    constexpr std::string_view kKept = "-._~!$&'()*+,;=:@";
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || ((byte | 0x20) >= 'a' && (byte | 0x20) <= 'z') ||
            kKept.find(c) != std::string_view::npos) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 15];
        }
    }
    return encoded;
}

std::string DecodePercent(const std::string& text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && formats::HexDigitValue(text[i + 1]) >= 0 &&
            formats::HexDigitValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(formats::HexDigitValue(text[i + 1]) * 16 +
                                         formats::HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

} // namespace zyn
