// What the Linux program learns from its surroundings: the proxy variables (http_, https_ and
// no_proxy, each before its upper-case form) and ELF as its programs' format.
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

} // namespace sys
