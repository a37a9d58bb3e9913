// The user configuration file "zynUserConfig.txt": its default text and the user interface
// choice that stage 1 reads from it.
#pragma once

#include <string>

namespace zyn {

inline constexpr const char* kUserConfigFileName = "zynUserConfig.txt";
inline constexpr char kDefaultUserConfig[] =
    "[ZynUserConfig]\r\nzynUsername=!\r\nzynPassword=!\r\nzynPort=0\r\nzynDeepPort=0\r\n"
    "zynAccept=LOCAL\r\nzynTimeout=NOUI\r\nzynNIC=0\r\nzynLaunch=BOTH\r\nzynHomeBrew=OFF\r\n"
    "zynWireless=\r\nzynUI=Default\r\n\r\n";
static_assert(sizeof(kDefaultUserConfig) - 1 == 181);

// Creates or replaces the file with the default text.
void CreateDefaultUserConfig();
// The file's whole text; a file that cannot be read counts as empty.
std::string ReadUserConfigText();

// The text after the first "zynUI=" up to the next CR LF, untrimmed (empty when no CR LF
// follows). False when the text holds no "zynUI=".
bool FindUIChoice(const std::string& text, std::string& uiName);

} // namespace zyn
