// The picture control of the terminal window: the bitmap resource drawn in cells in the colours
// the terminal announces, or the line of what the picture says where it cannot be drawn.
#pragma once

#include "framework/terminal/PictureCells.h"

#include <optional>
#include <string>
#include <vector>

class TerminalPicture {
  public:
    // Reads the terminal's colours from the environment: none under NO_COLOR or a dumb TERM,
    // 24-bit ones when COLORTERM announces them, else the 256-colour palette.
    TerminalPicture();

    // The lines of bitmap `bitmapId` for a panel `columns` wide that leaves the picture
    // `maxRows`: computed once for each bitmap and size.
    const std::vector<std::string>& Lines(int bitmapId, int columns, int maxRows);

  private:
    std::optional<CellColours> m_colours; // none: only captions
    int m_bitmapId = 0, m_columns = 0, m_maxRows = 0;
    std::vector<std::string> m_lines;
};
