// Splitting of a Windows-style command line into words, by the rules a Windows program's C
// runtime applies, so that the Linux program starts children the way the Windows one does.
#pragma once

#include <string>
#include <vector>

namespace formats {

// The program word (quotes group, nothing is escaped) followed by the argument words
// (blanks and tabs separate; double quotes group; backslashes escape only quotes).
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

} // namespace formats
