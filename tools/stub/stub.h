// Stub component: what each platform supplies about the running program.
#pragma once

#include <string>

namespace stub {

std::string ProgramName();
// The command line as the platform hands it over: on Windows the raw text, on Linux the words.
std::string CommandLine(int argc, char** argv);
std::string CurrentDirectory();
// Fields after the current directory: on Windows the words its C runtime made of the command
// line, so that tests never split one themselves; none on Linux, whose command line field holds
// the words already.
std::string MoreFields(int argc, char** argv);

// The words joined with \x1f, a byte no argument from the launcher contains.
std::string JoinWords(int argc, char** argv);
int Run(int argc, char** argv);

} // namespace stub
