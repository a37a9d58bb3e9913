// The proxy of the user's internet settings, as host and port.
#include "config/ProxyServer.h"

#include "config/TextRules.h"
#include "formats/AsciiCase.h"

#include <algorithm>

namespace zyn {

namespace {

// "host:port" at the last ':' that is not inside an IPv6 address's brackets, which go. False
// when there is no such ':'.
bool SplitHostPort(std::string_view text, std::string& host, std::string& port) {
    const size_t close = text[0] == '[' ? text.find(']') : std::string_view::npos;
    const bool bracketed = close != std::string_view::npos && close > 1;
    const size_t colon = text.rfind(':');
    const bool hasPort = colon != std::string_view::npos && (!bracketed || colon > close);
    const std::string_view name = hasPort ? text.substr(0, colon) : text;
    host = bracketed && name.size() == close + 1 ? name.substr(1, close - 1) : name;
    if (hasPort)
        port = text.substr(colon + 1);
    return hasPort;
}

} // namespace

void ParseProxyServer(uint32_t enabled, const std::string& server, std::string& host,
                      int32_t& port) {
    if (enabled != 1)
        return;
    if (!FindProxyServer(server, "http", host, port)) {
        host.clear();
        port = 0;
    }
}

bool FindProxyServer(const std::string& server, std::string_view scheme, std::string& host,
                     int32_t& port) {
    // The setting is a zero-terminated buffer on Windows: what follows a zero byte is not text.
    const std::string text = server.substr(0, server.find('\0'));
    if (text.find_first_of("=;") == std::string::npos && text.find("://") == std::string::npos) {
        SplitProxyServer(text, host, port);
        return true;
    }
    std::string_view chosen;
    bool exact = false;
    const std::string_view list(text);
    for (size_t at = 0; at < list.size() && !exact;) {
        const size_t end = std::min(list.find_first_of("; \t\r\n", at), list.size());
        std::string_view entry = list.substr(at, end - at);
        at = end + 1;
        const size_t equals = entry.find('=');
        const std::string_view entryScheme =
            equals == std::string_view::npos ? std::string_view() : entry.substr(0, equals);
        entry.remove_prefix(equals == std::string_view::npos ? 0 : equals + 1);
        const size_t schemeEnd = entry.find("://");
        if (schemeEnd != std::string_view::npos)
            entry.remove_prefix(schemeEnd + 3);
        entry = entry.substr(0, entry.find('/'));
        if (entry.empty())
            continue;
        if (formats::EqualsNoCase(entryScheme, scheme)) {
            chosen = entry;
            exact = true;
        } else if (equals == std::string_view::npos && chosen.empty()) {
            chosen = entry;
        }
    }
    if (chosen.empty())
        return false;
    std::string entryPort;
    const bool hasPort = SplitHostPort(chosen, host, entryPort);
    port = hasPort && !entryPort.empty() ? ParseLeadingInt32(entryPort) : 80;
    return true;
}

void SplitProxyServer(const std::string& text, std::string& host, int32_t& port) {
    std::string hostPart, portPart;
    if (text.empty() || !SplitHostPort(text, hostPart, portPart)) {
        host.clear();
        port = ParseLeadingInt32(text);
        return;
    }
    host = hostPart;
    port = ParseLeadingInt32(portPart);
}

} // namespace zyn
