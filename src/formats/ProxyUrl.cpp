// Proxy URL to "host:port" and its credentials.
#include "formats/ProxyUrl.h"

namespace formats {

namespace {

// What follows the scheme, up to the path: [user[:password]@]host[:port].
std::string Authority(const std::string& url) {
    const char* blanks = " \t\r\n\v\f";
    size_t first = url.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    std::string rest = url.substr(first, url.find_last_not_of(blanks) - first + 1);
    size_t scheme = rest.find("://");
    if (scheme != std::string::npos)
        rest.erase(0, scheme + 3);
    return rest.substr(0, rest.find_first_of("/?#"));
}

} // namespace

std::string ProxyServerFromUrl(const std::string& url) {
    std::string rest = Authority(url);
    // The password may itself hold '@'; the host follows the last one.
    size_t at = rest.rfind('@');
    if (at != std::string::npos)
        rest.erase(0, at + 1);
    std::string host = rest, port;
    size_t colon = rest.rfind(':');
    if (colon != std::string::npos && rest.find(']', colon) == std::string::npos) {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
    }
    if (host.empty())
        return "";
    if (port.empty())
        port = "1080"; // curl's default for a proxy given without a port
    return host + ":" + port;
}

std::string ProxyUserInfoFromUrl(const std::string& url) {
    const std::string authority = Authority(url);
    const size_t at = authority.rfind('@');
    return at == std::string::npos ? "" : authority.substr(0, at);
}

} // namespace formats
