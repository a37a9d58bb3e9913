// What the Linux program learns from its surroundings.
// Implements: the proxy from http_proxy, then HTTP_PROXY; calendar time; the version text of a
// program file (PE version resource or ELF package note); ELF as the programs' format.
// Leaves out: proxy exclusions (no_proxy) and proxies for other schemes.
#include "FileVersionParser.h"
#include "ProxyUrl.h"
#include "System.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace sys {

ProgramFormat NativeProgramFormat() {
    return ProgramFormat::Elf;
}

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
