// The two file tests used on configuration files and components.
#pragma once

#include <string>

namespace zyn {

// A component shorter than this is taken to be an interrupted download.
inline constexpr unsigned long long kCompleteFileSize = 50000;

// True when the file can be opened for reading.
bool FileExists(const std::string& name);
// True when the file can be opened for reading and is at least kCompleteFileSize bytes long.
bool IsFileComplete(const std::string& name);

} // namespace zyn
