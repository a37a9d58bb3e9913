// The parts of an "http[s]://host[:port]/path" URL that a connection and its request need, where
// a redirection's Location leads, and the percent-encoding of the names put into a URL.
#pragma once

#include <cstdint>
#include <string>

namespace zyn {

struct HttpUrl {
    std::string scheme = "http"; // "http" or "https", in lower case
    // What the connection resolves: a name, a dotted IPv4 address, or an IPv6 address without
    // its brackets.
    std::string host;
    uint16_t port = 80;    // the URL's own port, else the scheme's: 80 or 443
    std::string authority; // as the URL writes it, brackets and ":port" included: the Host header
    // The path and query, from the first "/" or "?" after the host on ("/" put before a bare
    // query, and alone when there is nothing); never a fragment.
    std::string path;
};

enum class UrlSplit {
    Ok,
    UnsupportedScheme, // a scheme other than http and https
    Malformed,         // no scheme, no host, a bad port or IPv6 literal, a blank or control byte
    Downgrade,         // (redirections) from https to http
};

UrlSplit SplitHttpUrl(const std::string& url, HttpUrl& parts);

// Where a redirection's `location` leads from the URL `current`: the reference resolved against
// it as RFC 3986 section 5.2 says, without a fragment (which is never sent), in `next`, and split
// into `parts`. An https URL never leads to an http one: the rest of the transfer would be
// anyone's on the way.
UrlSplit FollowLocation(const std::string& current, const std::string& location, std::string& next,
                        HttpUrl& parts);

// A name as one segment of a URL's path: every byte but letters, digits and
// "-._~!$&'()*+,;=:@" as "%XX", so that a blank, "%", "#", "?" or a byte beyond ASCII arrives
// as part of the name.
std::string EncodePathSegment(const std::string& name);
// "%XX" as the byte it stands for; a "%" without two hex digits after it stays as it is.
std::string DecodePercent(const std::string& text);

} // namespace zyn
