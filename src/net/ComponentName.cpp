// The name a component is requested and written under.
#include "net/ComponentName.h"

#include <algorithm>

namespace zyn {

std::string UrlFileName(const std::string& url) {
    const size_t slash = url.rfind('/');
    return slash == std::string::npos ? url : url.substr(slash + 1);
}

bool IsSafeComponentName(const std::string& name) {
    const bool unsafeByte = std::any_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f || c == '/' || c == '\\' || c == ':';
    });
    return !name.empty() && !unsafeByte && name.find("..") == std::string::npos;
}

} // namespace zyn
