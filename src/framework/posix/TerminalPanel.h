// The terminal side of the terminal window: raw keyboard input, a block of lines redrawn in
// place, and the terminal's settings restored on every way out.
#pragma once

#include <string>
#include <vector>

class TerminalPanel {
  public:
    enum class Key { Enter, Escape, Interrupt };

    // Raw, unechoed input (when standard input is a terminal) and a hidden cursor.
    void Open();
    // Leaves what was drawn in place, puts the terminal back as it was.
    void Close();
    bool IsOpen() const { return m_open; }

    // Replaces the lines drawn last by `lines`, broken at the terminal's width.
    void Draw(const std::vector<std::string>& lines);

    // Keys in a chunk of input; cursor and function key sequences are skipped.
    static std::vector<Key> ParseKeys(const std::string& input);
    // Text made safe to show: control characters become '?'.
    static std::string Printable(const std::string& text);

  private:
    bool m_open = false;
    int m_drawnLines = 0;
};

// Puts the terminal back (raw mode off, cursor shown) if a panel changed it. Safe to call
// more than once and from atexit.
void RestoreTerminal();
