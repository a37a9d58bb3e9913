// The run mode, chosen by the launcher's first command-line argument alone.
#pragma once

#include <string>

namespace zyn {

enum class RunMode { Normal, Stage1, Stage2, Config };

// Trims the argument, then compares it whole and case-sensitively with the three mode names;
// anything else is a normal launch.
RunMode ParseRunMode(const std::string& firstArgument);

} // namespace zyn
