// Stub component: what both platforms' programs share.
#pragma once

#include <string>

namespace stub {

// The words joined with \x1f, a byte that no argument from the launcher contains.
std::string JoinWords(int argc, char** argv);
// Appends LINE to zynStub.log in the current directory; the program's exit status.
int Log(const std::string& line);

} // namespace stub
