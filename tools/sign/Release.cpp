// The release description and the components of a state, read with the launcher's own rules:
// its setting lines, its user interface lookup, its URL split and its version reading.
#include "Release.h"

#include "config/Components.h"
#include "config/SettingLines.h"
#include "config/StateBody.h"
#include "config/StateSignature.h"
#include "config/SystemStateFile.h"
#include "config/UserConfigFile.h"
#include "formats/FileVersionParser.h"
#include "net/ComponentName.h"
#include "net/HttpUrl.h"

#include <algorithm>
#include <ctime>

namespace zynsign {

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// Files of the launcher and of the served tree that a user interface must never be written
// over, in any letter case (Windows clients).
bool IsReservedName(const std::string& name) {
    for (const char* reserved :
         {zyn::kLauncherFile, zyn::kTemporaryLauncherFile, zyn::kSystemStateFileName,
          zyn::kUserConfigFileName, kServedStateName})
        if (SameLetters(name, reserved))
            return true;
    return false;
}

void Add(std::vector<Component>& components, Component component) {
    if (std::none_of(components.begin(), components.end(), [&](const Component& c) {
            return c.file == component.file && c.entry == component.entry;
        }))
        components.push_back(std::move(component));
}

} // namespace

std::string NormaliseOperatorText(std::string_view text, std::string& changes) {
    std::vector<std::string> changed;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
        changed.push_back("byte order mark removed");
    }
    std::string normal = zyn::StateTextOfFile(text);
    if (normal.size() != text.size())
        changed.push_back("CR LF line ends made LF");
    if (!normal.empty() && normal.back() != '\n') {
        normal += '\n';
        changed.push_back("line end added after the last line");
    }
    changes.clear();
    for (const std::string& change : changed)
        changes += (changes.empty() ? "" : ", ") + change;
    return normal;
}

bool ComponentsOfState(const std::string& text, std::vector<Component>& components,
                       std::string& error) {
    components = {
        {zyn::kEngineFile, zyn::kEngineFile, zyn::kEngineComponent},
        {zyn::kConfigToolFile, zyn::kConfigToolFile, zyn::kConfigComponent},
        {zyn::kLauncherFile, zyn::kTemporaryLauncherFile, zyn::kLaunchComponent},
        {zyn::kNetworkServicesFile, zyn::kNetworkServicesFile, zyn::kNetworkServicesComponent}};
    std::string choice, entry, program;
    zyn::FindUIChoice(zyn::kDefaultUserConfig, choice);
    if (!zyn::FindUIEntry(text, choice, entry, program))
        Add(components,
            {zyn::kDefaultUIExecutable, zyn::kDefaultUIExecutable, zyn::kDefaultUIComponent});
    for (const zyn::SettingLine& line : zyn::ReadSettingLines(text, "\n")) {
        if (line.key != "ZynUI")
            continue;
        const std::string name = line.value.substr(0, line.value.find(';'));
        std::string ownEntry, ownProgram;
        zyn::FindUIEntry("ZynUI=" + line.value, name, ownEntry, ownProgram);
        zyn::FindUIEntry(text, name, entry, program);
        const std::string where = "ZynUI=" + line.value + ": ";
        if (ownEntry.empty() || ownProgram.empty())
            error = where + "needs a name, a component and a program, each ended by ';'";
        else if (entry != ownEntry || program != ownProgram)
            error = where + "a user who chooses \"" + name +
                    "\" gets an earlier entry whose name begins so";
        else if (!zyn::IsSafeComponentName(program) || IsReservedName(program))
            error = where + "\"" + program + "\" is not a name a launcher may write";
        if (!error.empty())
            return false;
        Add(components, {program, program, entry});
    }
    return true;
}

bool CheckReleaseDescription(const std::string& text, std::string& error) {
    // The marker has no '=', so the setting lines never show it.
    if (("\n" + text).find(std::string("\n") + zyn::kStateMarker + "\n") != std::string::npos) {
        error = std::string("publish writes the line ") + zyn::kStateMarker + " itself";
        return false;
    }
    int updates = 0, downloads = 0, orbitals = 0;
    for (const zyn::SettingLine& line : zyn::ReadSettingLines(text, "\n")) {
        const std::string& key = line.key;
        const std::string value = zyn::SystemStateValue(line.value);
        const std::string where = key + "=" + line.value + ": ";
        zyn::HttpUrl parts;
        if (key == "ZynVersion" || key == "ZynDigest" || key == "ZynSerial" ||
            key == "ZynExpires" || key == "ZynSignature")
            error = where + "publish writes the " + key + " entries itself";
        else if (key != "ZynUpdateURL" && key != "ZynDownloadURL" && key != "ZynOrbitalServer" &&
                 key != "ZynDeepResolutionServer" && key != "ZynUI")
            error = where + "not an entry a launcher reads";
        else if ((key == "ZynUpdateURL" || key == "ZynDownloadURL") &&
                 (zyn::SplitHttpUrl(value, parts) != zyn::UrlSplit::Ok || value.back() != '/'))
            error = where + "needs a URL a launcher fetches, ending in \"/\", then ';'";
        else if (value.empty())
            error = where + "needs a value ended by ';'";
        if (!error.empty())
            return false;
        updates += key == "ZynUpdateURL";
        downloads += key == "ZynDownloadURL";
        orbitals += key == "ZynOrbitalServer";
    }
    if (!updates || !downloads || !orbitals)
        error = std::string("needs at least one ") +
                (!updates     ? "ZynUpdateURL"
                 : !downloads ? "ZynDownloadURL"
                              : "ZynOrbitalServer") +
                " entry";
    return error.empty();
}

std::string DescribeTrust(const zyn::TrustEntries& entries) {
    const time_t time = static_cast<time_t>(entries.expires.value_or(0));
    struct tm parts;
    char text[32] = "?";
    if (gmtime_r(&time, &parts))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return "serial " + std::to_string(entries.serial.value_or(0)) + ", expires " + text;
}

bool ComparedVersionOf(std::string_view bytes, std::string& version) {
    std::string text;
    if (!formats::ParseFileVersion(bytes, text))
        return false;
    // As the launcher's buffer takes it: up to a zero character, and no further than it holds.
    text.resize(std::min({text.size(), text.find('\0'), zyn::kVersionBufferSize - 1}));
    version = zyn::NormaliseVersion(text);
    // A text the state cannot hold on one line is no version a launcher could be given.
    return !version.empty() && version.find_first_of("\r\n") == std::string::npos;
}

} // namespace zynsign
