// The proxy as Linux programs are told it (http_proxy and the like, a URL), turned into the
// "host:port" text of the Windows setting and the credentials it carries.
#pragma once

#include <string>

namespace formats {

// [scheme://][user[:password]@]host[:port][/...] -> "host:port", the port 1080 when none is
// given; empty when there is no host.
std::string ProxyServerFromUrl(const std::string& url);
// The "user[:password]" of such a URL as it is written (percent-encoded); empty when it has none.
std::string ProxyUserInfoFromUrl(const std::string& url);

} // namespace formats
