// Starting detached programs from Windows-style command lines on Linux.
// Implements: the words as a Windows C runtime would split them; the program looked up as
// Windows does (the launcher's folder, the current directory, PATH; ".exe" appended to a name
// without extension); a new session with default signals, standard input, output and error on
// /dev/null and no other descriptor inherited; no zombie is ever left; exec failures give false.
// Leaves out: the Windows search of the system folders.
#include "CommandLine.h"
#include "System.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace {

bool IsProgram(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string OwnFolder() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "";
    std::string exe(path, static_cast<size_t>(n));
    return exe.substr(0, exe.find_last_of('/'));
}

// Relative paths are meant from the launcher's own current directory, not the child's.
std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/')
        return path;
    char here[4096];
    return getcwd(here, sizeof here) ? std::string(here) + "/" + path : path;
}

std::string FindProgram(const std::string& name, const std::string& currentDirectory) {
    if (name.empty())
        return "";
    if (name.find('/') != std::string::npos)
        return Absolute(name);
    std::vector<std::string> candidates{name};
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        candidates.push_back(name + ".exe");
    std::vector<std::string> folders{OwnFolder(),
                                     currentDirectory.empty() ? "." : currentDirectory};
    if (const char* path = std::getenv("PATH")) {
        std::string list = path;
        for (size_t start = 0;;) {
            size_t end = list.find(':', start);
            std::string folder = list.substr(start, end - start);
            if (!folder.empty())
                folders.push_back(folder);
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    for (const std::string& folder : folders)
        for (const std::string& candidate : candidates) {
            std::string full = folder + "/" + candidate;
            if (IsProgram(full))
                return Absolute(full);
        }
    return "";
}

void IgnoreChildExits() {
    // Children are never waited for; the kernel reaps them at once.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    action.sa_flags = SA_NOCLDWAIT;
    sigemptyset(&action.sa_mask);
    sigaction(SIGCHLD, &action, nullptr);
}

} // namespace

namespace sys {

bool StartProcess(const std::string& commandLine, const std::string& currentDirectory) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty())
        return false;
    std::string program = FindProgram(words[0], currentDirectory);
    if (program.empty())
        return false;
    IgnoreChildExits();

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // Detached like a program a Windows GUI starts: no share in the launcher's terminal or
    // pipes (its standard output carries the window's lines), and none of its other files.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    if (!currentDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, currentDirectory.c_str());
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    // glibc reports a failed exec as posix_spawn's result.
    int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return error == 0;
}

} // namespace sys
