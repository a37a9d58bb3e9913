// What the Linux program learns from its surroundings. Implements: the proxy variables (http_,
// https_ and no_proxy, each before its upper-case form), calendar time, ELF as the programs'
// format. Leaves out: all_proxy and proxies for other schemes.
#include "formats/ProxyUrl.h"
#include "framework/System.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace sys {

formats::ProgramFormat NativeProgramFormat() {
    return formats::ProgramFormat::Elf;
}

namespace {
// The first of the two variables that is set and not empty.
std::string ReadVariable(const char* lower, const char* upper) {
    for (const char* variable : {lower, upper}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return "";
}
} // namespace

ProxySetting ReadProxySetting() {
    ProxySetting setting;
    setting.fromEnvironment = true;
    setting.httpProxy = ReadVariable("http_proxy", "HTTP_PROXY");
    setting.httpsProxy = ReadVariable("https_proxy", "HTTPS_PROXY");
    setting.noProxy = ReadVariable("no_proxy", "NO_PROXY");
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
