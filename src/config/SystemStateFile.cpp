// The system state file's parser and its user interface entry lookup.
#include "config/SystemStateFile.h"

#include "config/Components.h"
#include "config/SettingLines.h"

namespace zyn {

std::string MissingSystemStateMessage() {
    return std::string("Zyn could not locate its system state file - please visit ") +
           kSupportAddress + " for help.";
}

std::string SystemStateValue(const std::string& rawValue) {
    const size_t last = rawValue.rfind(';');
    return last == std::string::npos ? std::string() : rawValue.substr(0, last);
}

static void SetVersion(const std::string& value, const std::string& uiComponent,
                       const SystemStateFields& fields) {
    const size_t split = value.find(';');
    const std::string name = split == std::string::npos ? std::string() : value.substr(0, split);
    const std::string version = split == std::string::npos ? value : value.substr(split + 1);
    // Every name that matches takes the version: a user interface listed under "Engine" shares
    // the engine's entry.
    if (name == uiComponent)
        fields.uiVersion = version;
    if (name == kLaunchComponent)
        fields.launchVersion = version;
    if (name == kConfigComponent)
        fields.configVersion = version;
    if (name == kEngineComponent)
        fields.engineVersion = version;
    if (name == kNetworkServicesComponent)
        fields.networkServicesVersion = version;
}

void ParseSystemState(const std::string& text, const std::string& uiComponent,
                      const SystemStateFields& fields) {
    for (const SettingLine& line : ReadSettingLines(text)) {
        const std::string value = SystemStateValue(line.value);
        if (line.key == "ZynDeepResolutionServer")
            fields.deepServers.AddTail(value);
        else if (line.key == "ZynOrbitalServer")
            fields.orbitalServers.AddTail(value);
        else if (line.key == "ZynDownloadURL")
            fields.downloadURLs.AddTail(value);
        else if (line.key == "ZynUpdateURL")
            fields.updateURLs.AddTail(value);
        else if (line.key == "ZynVersion")
            SetVersion(value, uiComponent, fields);
    }
}

// Takes the text before the next ';' of `rest` and moves past that ';'; empty, and nothing
// left, when no ';' follows anywhere.
static std::string TakeField(std::string& rest) {
    const size_t end = rest.find(';');
    if (end == std::string::npos) {
        rest.clear();
        return std::string();
    }
    std::string field = rest.substr(0, end);
    rest.erase(0, end + 1);
    return field;
}

bool FindUIEntry(const std::string& text, const std::string& uiName, std::string& component,
                 std::string& executable) {
    const std::string marker = "ZynUI=";
    const size_t at = text.find(marker + uiName);
    if (at == std::string::npos)
        return false;
    // The fields are counted from the marker, not from the name: the name is skipped as the
    // first field, so a longer name that begins with the chosen one is read the same way.
    std::string rest = text.substr(at + marker.size());
    TakeField(rest);
    component = TakeField(rest);
    executable = TakeField(rest);
    return true;
}

} // namespace zyn
