// The name a component is requested and written under.
#include "net/ComponentName.h"

#include "System.h"
#include "net/AsciiCase.h"

#include <algorithm>
#include <cctype>

namespace zyn {

std::string UrlFileName(const std::string& url) {
    const size_t slash = url.rfind('/');
    return slash == std::string::npos ? url : url.substr(slash + 1);
}

namespace {

// Windows opens a device for these names whatever their extension ("NUL.exe" too), and stores
// "zynUI.exe." or "zynUI.exe " as "zynUI.exe": such a name is never the file it seems to be.
bool IsDeviceOrAliasName(const std::string& name) {
    if (name.back() == '.' || name.back() == ' ')
        return true;
    std::string base = name.substr(0, name.find('.'));
    std::transform(base.begin(), base.end(), base.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

// The launch's own temporary files must never be taken for a component, nor a component for one.
bool IsTemporaryName(const std::string& name) {
    const std::string suffix = sys::TemporaryFileName("");
    return name.size() >= suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

bool IsSafeComponentName(const std::string& name) {
    const bool unsafeByte = std::any_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f || c == '/' || c == '\\' || c == ':';
    });
    return !name.empty() && !unsafeByte && name.find("..") == std::string::npos &&
           !IsDeviceOrAliasName(name) && !IsTemporaryName(name);
}

bool IsProgramFileName(const std::string& name) {
    const std::string_view ending =
        std::string_view(name).substr(name.size() < 4 ? 0 : name.size() - 4);
    return EqualsNoCase(ending, ".exe") || EqualsNoCase(ending, ".dll");
}

} // namespace zyn
