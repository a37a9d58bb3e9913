// What the Linux program learns from its surroundings. Implements: the proxy variables (http_,
// https_ and no_proxy, each before its upper-case form), calendar time, a program file's version
// text (PE resource or ELF note). Leaves out: all_proxy and proxies for other schemes.
#include "FileVersionParser.h"
#include "System.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace sys {

bool ReadFileVersion(const std::string& name, char* buffer, size_t size) {
    std::string contents, version;
    if (!ReadWholeFile(name, contents) || !ParseFileVersion(contents, version))
        return false;
    // Copied as a C string, as the Windows program copies its version text: up to a zero
    // character, and no further than the buffer allows.
    if (size > 0) {
        const size_t length = std::min(std::strlen(version.c_str()), size - 1);
        version.copy(buffer, length);
        buffer[length] = '\0';
    }
    return true;
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
