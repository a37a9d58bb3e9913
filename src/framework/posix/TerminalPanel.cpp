// Raw keyboard input and in-place drawing for the terminal window.
// Implements: raw mode without echo or signal keys (Ctrl-C arrives as a key), in-place redraw
// with ANSI cursor movement, restoration from Close, atexit, SIGQUIT and SIGABRT.
// Leaves out: colours; a terminal narrowed between two redraws may leave stray lines; crashes
// (SIGSEGV stays with the sanitizers, which report it).
#include "TerminalPanel.h"

#include <csignal>
#include <cstdlib>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
bool g_saved = false;
termios g_savedSettings{};
bool g_cursorHidden = false;

void WriteAll(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

int TerminalWidth() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        return size.ws_col;
    return 80;
}
} // namespace

void RestoreTerminal() {
    if (g_saved) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedSettings);
        g_saved = false;
    }
    if (g_cursorHidden) {
        WriteAll("\x1b[?25h");
        g_cursorHidden = false;
    }
}

namespace {
// A program that dies of a signal runs no atexit handler: give the terminal back first, then
// die of the same signal. Only calls that are safe in a signal handler happen here.
void RestoreAndDie(int signo) {
    if (g_saved)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedSettings);
    if (g_cursorHidden) {
        if (write(STDOUT_FILENO, "\x1b[?25h", 6) < 0) {
        }
    }
    signal(signo, SIG_DFL);
    raise(signo);
}
} // namespace

void TerminalPanel::Open() {
    if (m_open)
        return;
    static bool registered = false;
    if (!registered) {
        std::atexit(RestoreTerminal);
        for (int signo : {SIGQUIT, SIGABRT})
            signal(signo, RestoreAndDie);
        registered = true;
    }
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &g_savedSettings) == 0) {
        termios raw = g_savedSettings;
        raw.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
        raw.c_iflag &= ~(IXON | ICRNL);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) == 0)
            g_saved = true;
    }
    WriteAll("\x1b[?25l");
    g_cursorHidden = true;
    m_open = true;
    m_drawnLines = 0;
}

void TerminalPanel::Close() {
    if (!m_open)
        return;
    m_open = false;
    m_drawnLines = 0;
    RestoreTerminal();
}

void TerminalPanel::Draw(const std::vector<std::string>& lines) {
    std::string out;
    if (m_drawnLines > 0)
        out += "\x1b[" + std::to_string(m_drawnLines) + "A";
    out += "\r\x1b[J";
    // Long lines are broken here rather than by the terminal, so that the count of lines to
    // move back over at the next redraw is known.
    size_t width = static_cast<size_t>(TerminalWidth() - 1);
    int drawn = 0;
    for (const std::string& line : lines) {
        size_t start = 0;
        do {
            out += line.substr(start, width);
            out += "\r\n";
            ++drawn;
            start += width;
        } while (start < line.size());
    }
    m_drawnLines = drawn;
    WriteAll(out);
}

std::vector<TerminalPanel::Key> TerminalPanel::ParseKeys(const std::string& input) {
    std::vector<Key> keys;
    for (size_t i = 0; i < input.size(); ++i) {
        char c = input[i];
        if (c == '\r' || c == '\n') {
            keys.push_back(Key::Enter);
        } else if (c == 3) {
            keys.push_back(Key::Interrupt);
        } else if (c == 0x1b) {
            if (i + 1 < input.size() && input[i + 1] == '[') {
                // CSI: parameters up to a final byte in @..~
                i += 2;
                while (i < input.size() && !(input[i] >= 0x40 && input[i] <= 0x7e))
                    ++i;
            } else if (i + 1 < input.size() && input[i + 1] == 'O') {
                i += 2; // SS3 and its one letter
            } else {
                keys.push_back(Key::Escape);
            }
        }
    }
    return keys;
}

std::string TerminalPanel::Printable(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return out;
}
