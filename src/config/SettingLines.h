// The one reader of "key=value" lines, shared by the system state file and the user
// configuration file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zyn {

struct SettingLine {
    std::string key;   // text before the first '=', not trimmed again
    std::string value; // everything after it
};

// Only text ended by `lineEnd` (CR LF in the files, LF in a fetched state) forms a line; each
// line is trimmed, and empty lines, section headers ('[' first) and lines without '=' yield
// nothing.
std::vector<SettingLine> ReadSettingLines(std::string_view text, std::string_view lineEnd = "\r\n");

} // namespace zyn
