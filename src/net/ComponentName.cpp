// The name a component is requested and written under.
#include "net/ComponentName.h"

#include "config/Components.h"
#include "config/SystemStateFile.h"
#include "config/UserConfigFile.h"

#include "formats/AsciiCase.h"
#include "framework/System.h"

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

// The launch's own temporary files, and the validators beside them, must never be taken for a
// component, nor a component for one; Windows finds them under any letter case.
bool IsTemporaryName(const std::string& name) {
    const std::string ending = sys::TemporaryFileName("");
    for (size_t at = 0; at + ending.size() <= name.size(); ++at)
        if (formats::EqualsNoCase(std::string_view(name).substr(at, ending.size()), ending))
            return true;
    return false;
}

// A server that may name a component may not name the files that decide what the launcher does.
bool IsLauncherFile(const std::string& name) {
    for (const char* own : {kLauncherFile, kSystemStateFileName, kUserConfigFileName})
        if (sys::SameFileName(name, own))
            return true;
    return false;
}

} // namespace

bool IsSafeComponentName(const std::string& name) {
    const bool unsafeByte = std::any_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f || c == '/' || c == '\\' || c == ':';
    });
    return !name.empty() && !unsafeByte && name.find("..") == std::string::npos &&
           !IsDeviceOrAliasName(name) && !IsTemporaryName(name) && !IsLauncherFile(name);
}

std::string KeptValidatorFileName(const std::string& name) {
    return sys::TemporaryFileName(name) + ".validator";
}

bool IsProgramFileName(const std::string& name) {
    const std::string_view ending =
        std::string_view(name).substr(name.size() < 4 ? 0 : name.size() - 4);
    return formats::EqualsNoCase(ending, ".exe") || formats::EqualsNoCase(ending, ".dll");
}

} // namespace zyn
