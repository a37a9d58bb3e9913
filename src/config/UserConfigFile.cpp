// The user configuration file: default text and the user interface choice.
#include "config/UserConfigFile.h"

#include "framework/System.h"

namespace zyn {

void CreateDefaultUserConfig() {
    sys::WriteWholeFile(kUserConfigFileName,
                        std::string(kDefaultUserConfig, sizeof(kDefaultUserConfig) - 1));
}

std::string ReadUserConfigText() {
    std::string text;
    if (!sys::ReadWholeFile(kUserConfigFileName, text))
        text.clear();
    return text;
}

bool FindUIChoice(const std::string& text, std::string& uiName) {
    const std::string marker = "zynUI=";
    const size_t at = text.find(marker);
    if (at == std::string::npos)
        return false;
    const size_t start = at + marker.size();
    const size_t end = text.find("\r\n", start);
    uiName = end == std::string::npos ? std::string() : text.substr(start, end - start);
    return true;
}

} // namespace zyn
