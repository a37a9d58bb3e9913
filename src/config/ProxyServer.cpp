// The proxy of the user's internet settings, as host and port.
#include "config/ProxyServer.h"

#include "config/TextRules.h"

namespace zyn {

void ParseProxyServer(uint32_t enabled, const std::string& server, std::string& host,
                      int32_t& port) {
    if (enabled != 1)
        return;
    // The setting is a zero-terminated buffer on Windows: what follows a zero byte is not text.
    const std::string text = server.substr(0, server.find('\0'));
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        host.clear();
        port = ParseLeadingInt32(text);
        return;
    }
    host = text.substr(0, colon);
    port = ParseLeadingInt32(text.substr(colon + 1));
}

} // namespace zyn
