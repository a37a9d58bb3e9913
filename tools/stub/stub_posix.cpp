// Stub component, Linux side: the words of argv as the command line, so that blanks and quotes
// inside a word stay visible to the tests.
#include "stub.h"

#include <climits>
#include <unistd.h>

int main(int argc, char** argv) {
    char path[PATH_MAX], dir[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string program = n > 0 ? std::string(path, static_cast<size_t>(n)) : "/?";
    const char* cwd = getcwd(dir, sizeof dir) != nullptr ? dir : "?";
    return stub::Log(program.substr(program.rfind('/') + 1) + '\t' + stub::JoinWords(argc, argv) +
                     '\t' + cwd + '\n');
}
