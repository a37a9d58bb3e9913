// Stub component: what each platform supplies about the running program.
#pragma once

#include <string>

namespace stub {

std::string ProgramName();
std::string CommandLine(int argc, char** argv);
std::string CurrentDirectory();

int Run(int argc, char** argv);

} // namespace stub
