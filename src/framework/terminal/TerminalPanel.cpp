// Raw keys and in-place drawing for the terminal window: raw mode only in the foreground
// process group, taken again on SIGCONT, given back at exit and on every fatal signal; redraw
// from the first changed row. Leaves out: terminals that cut lines on narrowing; SIGKILL.
#include "framework/terminal/TerminalPanel.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
bool g_saved = false;
termios g_savedSettings{};
bool g_cursorHidden = false;
bool g_taken = false; // taken in the foreground, and not given back since

// A process outside the terminal's foreground group that touches the terminal is stopped
// (SIGTTOU, SIGTTIN) unless it blocks those signals: then reads fail and writes go through.
// Settings are changed only in the foreground, so what goes through there is only output.
class JobControlSignalsBlocked {
  public:
    JobControlSignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTTOU);
        sigaddset(&set, SIGTTIN);
        sigprocmask(SIG_BLOCK, &set, &m_old);
    }
    ~JobControlSignalsBlocked() { sigprocmask(SIG_SETMASK, &m_old, nullptr); }
    JobControlSignalsBlocked(const JobControlSignalsBlocked&) = delete;
    JobControlSignalsBlocked& operator=(const JobControlSignalsBlocked&) = delete;

  private:
    sigset_t m_old;
};

bool InForeground(int fd) {
    pid_t group = tcgetpgrp(fd);
    // A terminal that is not the controlling one has no say over the program: it is ours.
    if (group == -1)
        return errno == ENOTTY;
    return group == getpgrp();
}

void WriteAll(const char* text, size_t size) {
    JobControlSignalsBlocked blocked;
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(STDOUT_FILENO, text + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

void WriteAll(const std::string& text) {
    WriteAll(text.data(), text.size());
}

constexpr char kShowCursor[] = "\x1b[?25h";
constexpr char kHideCursor[] = "\x1b[?25l";

// A row of `line` ends after `width` columns. An SGR sequence takes no column, nor does a UTF-8
// continuation byte.
template <typename RowFn> void BreakIntoRows(const std::string& line, int width, RowFn onRow) {
    std::string row;
    int used = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c == 0x1b && i + 1 < line.size() && line[i + 1] == '[') {
            size_t end = i + 2; // parameters up to the final byte
            while (end < line.size() && (line[end] < 0x40 || line[end] > 0x7e))
                ++end;
            end = std::min(end + 1, line.size());
            row.append(line, i, end - i);
            i = end - 1;
            continue;
        }
        bool takesColumn = c < 0x80 || c >= 0xc0;
        if (takesColumn && used == width) {
            onRow(row, used);
            row.clear();
            used = 0;
        }
        row += static_cast<char>(c);
        used += takesColumn;
    }
    onRow(row, used);
}

bool TakeTerminal() {
    JobControlSignalsBlocked blocked;
    if (!InForeground(STDOUT_FILENO))
        return false;
    if (isatty(STDIN_FILENO) && InForeground(STDIN_FILENO) && !g_saved &&
        tcgetattr(STDIN_FILENO, &g_savedSettings) == 0) {
        termios raw = g_savedSettings;
        raw.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
        raw.c_iflag &= ~(IXON | ICRNL);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) == 0)
            g_saved = true;
    }
    if (!g_cursorHidden) {
        WriteAll(kHideCursor, sizeof kHideCursor - 1);
        g_cursorHidden = true;
    }
    g_taken = true;
    return true;
}

// A program that dies of a signal runs no atexit handler: give the terminal back first, then
// die of the same signal, which is blocked until this handler returns.
void RestoreAndDie(int signo) {
    int saved = errno;
    RestoreTerminal();
    signal(signo, SIG_DFL);
    raise(signo);
    errno = saved;
}

bool EndsProgramByDefault(int signo) {
    for (int other :
         {SIGKILL, SIGSTOP, SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT, SIGCHLD, SIGURG, SIGWINCH})
        if (signo == other)
            return false;
    return true;
}

void CatchFatalSignals() {
    struct sigaction action {};
    action.sa_handler = RestoreAndDie;
    sigemptyset(&action.sa_mask);
    for (int signo = 1; signo <= SIGRTMAX; ++signo) {
        struct sigaction current {};
        // Signals ignored from the start stay ignored, and a sanitizer's crash handlers stay:
        // they report the crash and end the program themselves.
        if (!EndsProgramByDefault(signo) || sigaction(signo, nullptr, &current) != 0 ||
            current.sa_handler != SIG_DFL)
            continue;
        sigaction(signo, &action, nullptr);
    }
}
} // namespace

void RestoreTerminal() {
    JobControlSignalsBlocked blocked;
    if (g_saved) {
        // Once the shell has the terminal back, its settings are the shell's.
        if (InForeground(STDIN_FILENO))
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedSettings);
        g_saved = false;
    }
    if (g_cursorHidden) {
        WriteAll(kShowCursor, sizeof kShowCursor - 1);
        g_cursorHidden = false;
    }
    g_taken = false;
}

void TerminalPanel::Open() {
    if (m_open)
        return;
    static bool registered = false;
    if (!registered) {
        std::atexit(RestoreTerminal);
        CatchFatalSignals();
        registered = true;
    }
    TakeTerminal();
    m_open = true;
    ReadSize();
    Forget();
}

void TerminalPanel::Close() {
    if (!m_open)
        return;
    m_open = false;
    Forget();
    RestoreTerminal();
}

void TerminalPanel::Resume() {
    if (!m_open)
        return;
    RestoreTerminal();
    TakeTerminal();
    ReadSize();
    Forget();
}

void TerminalPanel::Forget() {
    m_drawn.clear();
    m_rowsAbove = 0;
}

void TerminalPanel::ReadSize() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) {
        m_columns = size.ws_col;
        m_rows = size.ws_row > 1 ? size.ws_row : 24;
    }
}

void TerminalPanel::UpdateSize() {
    int oldColumns = m_columns, oldRows = m_rows;
    ReadSize();
    if (m_columns == oldColumns && m_rows == oldRows)
        return;
    // Most terminals break the lines anew when narrowed, so a row drawn wider than the new
    // width now takes several, and the cursor stays below them all.
    if (m_columns < oldColumns) {
        m_rowsAbove = 0;
        for (const Row& row : m_drawn)
            m_rowsAbove += std::max(1, (row.width + m_columns - 1) / m_columns);
    }
    m_drawn.clear();
}

bool TerminalPanel::IsInBackground() const {
    return m_open && !g_taken;
}

bool TerminalPanel::TakeIfForeground() {
    if (!IsInBackground() || !TakeTerminal())
        return false;
    Forget();
    return true;
}

bool TerminalPanel::HasKeyboard() const {
    return g_saved || !isatty(STDIN_FILENO);
}

bool TerminalPanel::ReadInput(std::string& bytes) {
    JobControlSignalsBlocked blocked;
    char buffer[64];
    ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n > 0) {
        bytes.assign(buffer, static_cast<size_t>(n));
        return true;
    }
    bytes.clear();
    if (n < 0 && errno == EIO) {
        // A terminal read from outside its foreground group: the shell has the terminal now.
        RestoreTerminal();
        return true;
    }
    return n < 0 && (errno == EINTR || errno == EAGAIN);
}

void TerminalPanel::Draw(const std::vector<std::string>& lines) {
    // Long lines are broken here rather than by the terminal, so that the count of rows to
    // move back over at the next redraw is known.
    std::vector<Row> rows;
    for (const std::string& line : lines)
        BreakIntoRows(line, m_columns - 1, [&rows](const std::string& text, int width) {
            rows.push_back(Row{text, width});
        });
    // Rows that stay as they are are not sent again: a progress step rewrites two lines, not
    // the picture above them.
    size_t same = 0;
    while (same < m_drawn.size() && same < rows.size() && m_drawn[same].text == rows[same].text)
        ++same;
    if (same == m_drawn.size() && same == rows.size() && m_rowsAbove == static_cast<int>(same))
        return;
    std::string out;
    int up = m_rowsAbove - static_cast<int>(same);
    if (up > 0)
        out += "\x1b[" + std::to_string(up) + "A";
    out += "\r\x1b[J";
    for (size_t i = same; i < rows.size(); ++i) {
        out += rows[i].text;
        out += "\r\n";
    }
    m_drawn = std::move(rows);
    m_rowsAbove = static_cast<int>(m_drawn.size());
    WriteAll(out);
}

std::string TerminalPanel::Printable(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return out;
}
