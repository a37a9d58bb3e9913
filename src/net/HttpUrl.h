// The parts of an "http://host[:port]/path" URL that a connection and its request need.
#pragma once

#include <cstdint>
#include <string>

namespace zyn {

struct HttpUrl {
    std::string host;      // what the connection resolves: a name or a dotted IPv4 address
    uint16_t port = 80;    // the URL's own port, else 80
    std::string authority; // host, with ":port" when the URL gives one: the Host header
    std::string path;      // from the first "/" after the host on; "/" when there is none
};

enum class UrlSplit {
    Ok,
    UnsupportedScheme, // a scheme other than http (https among them)
    Malformed,         // no scheme, no host, a bad port, or a blank or control byte anywhere
};

UrlSplit SplitHttpUrl(const std::string& url, HttpUrl& parts);

} // namespace zyn
