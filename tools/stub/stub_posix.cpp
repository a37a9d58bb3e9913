// Stub component, Linux side: the words of argv as the command line, so blanks and quotes inside
// a word stay visible to the tests.
#include "stub.h"

#include <climits>
#include <unistd.h>

namespace stub {

std::string ProgramName() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return "?";
    }
    const std::string full(path, static_cast<size_t>(n));
    return full.substr(full.rfind('/') + 1);
}

std::string CommandLine(int argc, char** argv) {
    return JoinWords(argc, argv);
}

std::string MoreFields(int, char**) {
    return {};
}

std::string CurrentDirectory() {
    char dir[PATH_MAX];
    return getcwd(dir, sizeof dir) != nullptr ? std::string(dir) : std::string("?");
}

} // namespace stub

int main(int argc, char** argv) {
    return stub::Run(argc, argv);
}
