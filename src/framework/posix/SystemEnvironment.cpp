// What the Linux program learns from its surroundings.
// Implements: the proxy from http_proxy, then HTTP_PROXY; calendar time; ELF as the programs'
// format.
// Leaves out: proxy exclusions (no_proxy) and proxies for other schemes.
#include "formats/ProxyUrl.h"
#include "framework/System.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace sys {

ProgramFormat NativeProgramFormat() {
    return ProgramFormat::Elf;
}

ProxySetting ReadProxySetting() {
    ProxySetting setting;
    for (const char* variable : {"http_proxy", "HTTP_PROXY"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value)
            continue;
        setting.server = ProxyServerFromUrl(value);
        setting.enabled = setting.server.empty() ? 0 : 1;
        break;
    }
    return setting;
}

int64_t CalendarTime() {
    return static_cast<int64_t>(std::time(nullptr));
}

LocalDate ToLocalDate(int64_t time) {
    std::time_t t = static_cast<std::time_t>(time);
    std::tm fields{};
    localtime_r(&t, &fields);
    return LocalDate{fields.tm_mday, fields.tm_mon + 1, fields.tm_year + 1900};
}

} // namespace sys
