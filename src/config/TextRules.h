// Text rules shared by every reader of the launcher: white-space trimming and the lenient
// decimal conversion used for ports.
#pragma once

#include <cstdint>
#include <string>

namespace zyn {

// True for blank, tab, CR, LF, vertical tab and form feed.
bool IsWhiteSpace(char c);
// Removes white space from both ends.
std::string TrimWhiteSpace(const std::string& text);
// Leading white space, an optional sign, then decimal digits up to the first non-digit; 0 when
// there are none. Values beyond the 32-bit range are clamped to it, so the result is the same
// whatever the width of the platform's long.
int32_t ParseLeadingInt32(const std::string& text);

} // namespace zyn
