// The terminal side of the terminal window: raw keyboard input, a block of lines redrawn in
// place (only from its first changed row down), and the terminal's settings restored on every
// way out.
#pragma once

#include <string>
#include <vector>

class TerminalPanel {
  public:
    // Takes the terminal while the program is in its foreground process group: raw, unechoed
    // input (when standard input is a terminal) and a hidden cursor. A program in the
    // background draws, but leaves the settings and the keyboard to the shell.
    void Open();
    // Leaves what was drawn in place, puts the terminal back as it was.
    void Close();
    bool IsOpen() const { return m_open; }
    // After the program was continued (brought to the foreground, or sent back): takes the
    // terminal or lets go of it, whichever is now right; the next drawing starts afresh below
    // whatever was printed meanwhile.
    void Resume();
    // Open while the program is in the background. A job that runs in the background is not
    // told when the shell brings it to the foreground: only asking shows it.
    bool IsInBackground() const;
    // Takes the terminal if the program has come to the foreground; true when it did, and the
    // next drawing starts afresh.
    bool TakeIfForeground();

    // Whether standard input holds keys for us: a terminal that we hold in raw mode, or input
    // that is no terminal at all.
    bool HasKeyboard() const;
    // Reads what standard input holds into `bytes` (possibly nothing, when the terminal is not
    // ours now); false once the input has ended.
    bool ReadInput(std::string& bytes);

    // Reads the terminal's size. When it has changed since the last drawing, the next drawing
    // replaces the whole block, wherever the terminal has moved what was drawn.
    void UpdateSize();
    // The terminal's size as last read.
    int Columns() const { return m_columns; }
    int Rows() const { return m_rows; }

    // Replaces the lines drawn last by `lines`, broken at the terminal's width. A line may hold
    // SGR sequences and UTF-8 characters of one column each.
    void Draw(const std::vector<std::string>& lines);

    // Text made safe to show: control characters become '?'.
    static std::string Printable(const std::string& text);

  private:
    struct Row {
        std::string text;
        int width;
    };
    void ReadSize();
    // The next drawing starts afresh on the cursor's line.
    void Forget();

    bool m_open = false;
    int m_columns = 80, m_rows = 24;
    // What was drawn last, and how many rows up from the cursor its first row now is.
    std::vector<Row> m_drawn;
    int m_rowsAbove = 0;
};

// Puts the terminal back (raw mode off, cursor shown) if a panel changed it; raw mode is left
// alone once the shell has taken the terminal back. Safe to call more than once, from atexit
// and from a signal handler.
void RestoreTerminal();
