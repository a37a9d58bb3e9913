// Passphrases from the environment or from the controlling terminal. The terminal's echo is
// restored however the question ends, an interrupt or a termination included.
#include "Passphrase.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace zynsign {

namespace {

int g_terminal = -1;
termios g_saved{};
const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

void RestoreAndRaise(int signal) {
    tcsetattr(g_terminal, TCSANOW, &g_saved);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void Say(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

// One line from the terminal with its echo off; false without a terminal or at its end.
bool AskTerminal(const std::string& prompt, std::string& answer) {
    const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct sigaction quiet {
    }, previous[std::size(kSignals)];
    const bool isTerminal = tcgetattr(fd, &g_saved) == 0;
    if (isTerminal) {
        g_terminal = fd;
        quiet.sa_handler = RestoreAndRaise;
        for (size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &quiet, &previous[i]);
        termios silent = g_saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fd, TCSAFLUSH, &silent);
    }
    Say(fd, prompt);
    answer.clear();
    char c = 0;
    bool ended = false;
    while (read(fd, &c, 1) == 1) {
        if ((ended = c == '\n'))
            break;
        answer += c;
    }
    if (isTerminal) {
        tcsetattr(fd, TCSAFLUSH, &g_saved);
        for (size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &previous[i], nullptr);
        g_terminal = -1;
    }
    Say(fd, "\n");
    close(fd);
    return ended;
}

} // namespace

bool GetPassphrase(const PassphraseSource& source, const std::string& keyFile, bool confirm,
                   std::string& passphrase, std::string& error) {
    if (!source.environmentVariable.empty()) {
        const char* value = std::getenv(source.environmentVariable.c_str());
        if (!value || !*value) {
            error = "the environment variable " + source.environmentVariable +
                    " holds no passphrase for " + keyFile;
            return false;
        }
        passphrase = value;
        return true;
    }
    const std::string none = "no terminal to ask the passphrase of " + keyFile +
                             " on: name an environment variable with --passphrase-env";
    if (!AskTerminal("Passphrase for " + keyFile + ": ", passphrase)) {
        error = none;
        return false;
    }
    std::string again;
    if (confirm && !AskTerminal("The same passphrase again: ", again)) {
        error = none;
        return false;
    }
    if (passphrase.empty() || (confirm && again != passphrase)) {
        error = passphrase.empty() ? "an empty passphrase protects nothing"
                                   : "the two passphrases differ";
        return false;
    }
    return true;
}

} // namespace zynsign
