// The engine's argument text.
#include "config/EngineArgs.h"

#include "config/SettingLines.h"

namespace zyn {

void AppendEngineOption(std::string& args, const std::string& option) {
    args += option;
    args += ' ';
}

// One setting line; a line matches at most one key.
static void AppendSetting(const SettingLine& line, std::string& args, int32_t& startEngine,
                          int32_t& startUI) {
    const std::string& key = line.key;
    const std::string& value = line.value;
    if (key == "zynLaunch") {
        if (value == "UI")
            startEngine = 0;
        else if (value == "ENGINE")
            startUI = 0;
    } else if (key == "zynUsername") {
        AppendEngineOption(args, "-username " + value);
    } else if (key == "zynAutoLogin") {
        AppendEngineOption(args, "-autologin " + value);
    } else if (key == "zynHomebrew") {
        AppendEngineOption(args, "-homebrew " + value);
    } else if (key == "zynPAT") {
        AppendEngineOption(args, "-patpass " + value);
    } else if (key == "zynPassword") {
        AppendEngineOption(args, "-password " + value);
    } else if (key == "zynDeepPort") {
        if (!value.empty() && value != "0")
            AppendEngineOption(args, "-deepport " + value);
    } else if (key == "zynWireless") {
        if (value.size() > 24) {
            std::string wireless = value;
            for (char& c : wireless)
                if (c == ';')
                    c = 'o';
            AppendEngineOption(args, "-wireless " + wireless);
        }
    } else if (key == "zynNIC") {
        if (value == "1")
            AppendEngineOption(args, "-nolock true");
        // A bytewise comparison: a value of the single byte 0x01 gives no option.
        if (value > std::string(1, '\x01'))
            AppendEngineOption(args, "-nic " + value);
    } else if (key == "zynPort") {
        AppendEngineOption(args, "-port " + value);
    } else if (key == "zynTimeout") {
        AppendEngineOption(args, "-timeout " + value);
    } else if (key == "zynAccept") {
        AppendEngineOption(args, "-accept " + value);
    } else if (key == "zynAllowBadNICS") {
        AppendEngineOption(args, "-allowbad " + value);
    }
}

void BuildEngineArgs(const std::string& userConfigText, const StringList& orbitalServers,
                     const DeepResolverAnswer& deep, std::string& args, int32_t& startEngine,
                     int32_t& startUI) {
    args = "-mode engine -orbitals ";
    for (int i = 0; i < orbitalServers.GetCount(); ++i)
        args += orbitalServers.GetAt(i) + "O";
    args += ' ';
    for (const SettingLine& line : ReadSettingLines(userConfigText))
        AppendSetting(line, args, startEngine, startUI);
    if (deep.server.empty())
        return;
    args += " -deepserver " + deep.server + " -deepip " + deep.ip;
    // The user's own port, or any value that happens to contain the text, keeps the
    // discovered one out.
    if (args.find("-deepport") == std::string::npos)
        args += " -deepport " + std::to_string(deep.port);
}

} // namespace zyn
