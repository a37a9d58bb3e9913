// The parts of an "http://host[:port]/path" URL that a connection and its request need.
#include "net/HttpUrl.h"

#include "net/AsciiCase.h"

#include <algorithm>

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

} // namespace

UrlSplit SplitHttpUrl(const std::string& url, HttpUrl& parts) {
    if (std::any_of(url.begin(), url.end(),
                    [](char c) { return IsUnsafeInRequest(static_cast<unsigned char>(c)); }))
        return UrlSplit::Malformed;
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos || schemeEnd == 0)
        return UrlSplit::Malformed;
    if (!EqualsNoCase(std::string_view(url).substr(0, schemeEnd), "http"))
        return UrlSplit::UnsupportedScheme;

    const size_t authorityStart = schemeEnd + 3;
    const size_t pathStart = std::min(url.find('/', authorityStart), url.size());
    HttpUrl split;
    split.authority = url.substr(authorityStart, pathStart - authorityStart);
    split.path = pathStart < url.size() ? url.substr(pathStart) : "/";
    // User names and IPv6 literals are not spoken here; either would mislead the Host header.
    if (split.authority.find_first_of("@[]") != std::string::npos)
        return UrlSplit::Malformed;
    const size_t colon = split.authority.find(':');
    split.host = split.authority.substr(0, colon);
    if (split.host.empty())
        return UrlSplit::Malformed;
    if (colon != std::string::npos && !ParsePort(split.authority.substr(colon + 1), split.port))
        return UrlSplit::Malformed;
    parts = split;
    return UrlSplit::Ok;
}

} // namespace zyn
