// The proxy as Linux programs are told it (http_proxy and HTTP_PROXY, a URL), turned into the
// "host:port" text of the Windows setting.
#pragma once

#include <string>

// [scheme://][user[:password]@]host[:port][/...] -> "host:port", the port 1080 when none is
// given; empty when there is no host.
std::string ProxyServerFromUrl(const std::string& url);
