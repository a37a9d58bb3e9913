// A fetched system state body turned into the text of "zynSystemConfig.txt".
#pragma once

#include <cstdint>
#include <string>

namespace zyn {

inline constexpr const char* kStateMarker = "ZYN_XSERVER_CONFIG;";
// A state reply longer than this is dropped.
inline constexpr uint64_t kStateBodyLimit = 1024 * 1024;

// False when the body does not begin with the marker. Otherwise every LF becomes CR LF and the
// first 21 bytes (the marker and the line break after it) are cut; a shorter text gives an
// empty file.
bool RewriteStateBody(const std::string& body, std::string& fileText);

} // namespace zyn
