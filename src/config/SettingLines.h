// The one reader of "key=value" lines, shared by the system state file and the user
// configuration file.
#pragma once

#include <string>
#include <vector>

namespace zyn {

struct SettingLine {
    std::string key;   // text before the first '=', not trimmed again
    std::string value; // everything after it
};

// Only text ended by CR LF forms a line; each line is trimmed, and empty lines, section headers
// ('[' first) and lines without '=' yield nothing.
std::vector<SettingLine> ReadSettingLines(const std::string& text);

} // namespace zyn
