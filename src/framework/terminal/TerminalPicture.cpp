// The terminal window's picture: the built-in bitmaps in half blocks, in 24-bit colour or the
// 256-colour palette, proportions kept; a caption line where colours or room are lacking.
// Leaves out: the 3-D colour mapping of grey shades (a terminal has none).
#include "framework/terminal/TerminalPicture.h"

#include "formats/BmpReader.h"
#include "framework/DialogTemplate.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr int kMinColumns = 40;
constexpr int kMinRows = 4;

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

bool Equals(const char* variable, const char* text) {
    const char* value = std::getenv(variable);
    return value && std::strcmp(value, text) == 0;
}
} // namespace

TerminalPicture::TerminalPicture() {
    if (IsSet("NO_COLOR") || Equals("TERM", "dumb"))
        return;
    m_colours = Equals("COLORTERM", "truecolor") || Equals("COLORTERM", "24bit")
                    ? CellColours::TrueColour
                    : CellColours::Palette256;
}

const std::vector<std::string>& TerminalPicture::Lines(int bitmapId, int columns, int maxRows) {
    if (!m_lines.empty() && bitmapId == m_bitmapId && columns == m_columns && maxRows == m_maxRows)
        return m_lines;
    m_bitmapId = bitmapId;
    m_columns = columns;
    m_maxRows = maxRows;
    m_lines.clear();
    const BitmapResource* resource = FindBitmapResource(bitmapId);
    formats::Bitmap bitmap;
    if (resource && m_colours && columns >= kMinColumns && maxRows >= kMinRows &&
        formats::ReadBmp(resource->bytes, bitmap)) {
        for (const std::string& line : PictureLines(bitmap, columns - 2, maxRows, *m_colours))
            m_lines.push_back(" " + line);
    } else {
        m_lines.push_back(
            " " + std::string(resource ? resource->text : "picture " + std::to_string(bitmapId)));
    }
    return m_lines;
}
