// Detached programs on Linux from Windows-style command lines: the named file in the current
// directory, words split as a Windows C runtime would, a new session on /dev/null, no zombie
// left. Leaves out: any search for the program (PATH, extensions).
#include "formats/CommandLine.h"
#include "framework/System.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Relative paths are meant from the launcher's own current directory, not the child's.
std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/')
        return path;
    char here[4096];
    return getcwd(here, sizeof here) ? std::string(here) + "/" + path : "./" + path;
}

// Everything posix_spawn needs, made before the fork so the intermediate process only spawns.
class SpawnSetup {
  public:
    explicit SpawnSetup(const std::string& currentDirectory) {
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
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                                  POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

} // namespace

namespace sys {

bool StartProcess(const std::string& program, const std::string& commandLine,
                  const std::string& currentDirectory, std::string& failure) {
    const std::string path = Absolute(program);
    std::vector<std::string> words = formats::SplitCommandLine(commandLine);
    if (words.empty())
        words.push_back(program);
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    SpawnSetup setup(currentDirectory);

    // The child is spawned by a short-lived intermediate that is waited for here, so the child
    // is never ours to reap: it leaves no zombie however long the launcher runs, and no
    // process-wide SIGCHLD setting is needed that would break other waits. The wait lasts as
    // long as the spawn itself, which waits for the exec anyway to learn whether it failed.
    // Signals stay blocked in the intermediate, which must never run the launcher's handlers.
    sigset_t all, previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    const pid_t intermediate = fork();
    if (intermediate == 0) {
        pid_t child = 0;
        // glibc reports a failed exec as posix_spawn's result.
        _exit(posix_spawn(&child, path.c_str(), &setup.actions, &setup.attributes, argv.data(),
                          environ));
    }
    int error = intermediate < 0 ? errno : 0;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (intermediate > 0) {
        int status = 0;
        pid_t waited = 0;
        do
            waited = waitpid(intermediate, &status, 0);
        while (waited < 0 && errno == EINTR);
        if (waited < 0)
            error = errno;
        else
            error = WIFEXITED(status) ? WEXITSTATUS(status) : ECANCELED;
    }
    if (error != 0)
        failure = std::strerror(error);
    return error == 0;
}

} // namespace sys
