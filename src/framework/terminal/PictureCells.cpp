// Scaling by the average of the pixels that each cell half covers, and the SGR colour
// sequences: 24-bit ones, or the nearest entry of the 256-colour palette.
#include "framework/terminal/PictureCells.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {
using Rgb = std::array<int, 3>;

constexpr char kUpperHalfBlock[] = "\xe2\x96\x80";
constexpr int kCubeLevels[6] = {0, 95, 135, 175, 215, 255};

int Distance(const Rgb& a, const Rgb& b) {
    int sum = 0;
    for (int i = 0; i < 3; ++i)
        sum += (a[i] - b[i]) * (a[i] - b[i]);
    return sum;
}

// The palette's 6 x 6 x 6 colour cube (16 to 231) or its grey ramp (232 to 255), whichever
// comes nearer; the first 16 entries are left out, as terminals give them colours of their own.
int PaletteIndex(const Rgb& colour) {
    Rgb cube{};
    int index = 16;
    for (int i = 0; i < 3; ++i) {
        int level = 0;
        while (level < 5 && colour[i] > (kCubeLevels[level] + kCubeLevels[level + 1]) / 2)
            ++level;
        cube[i] = kCubeLevels[level];
        index += level * (i == 0 ? 36 : i == 1 ? 6 : 1);
    }
    int step = std::clamp(((colour[0] + colour[1] + colour[2]) / 3 - 3) / 10, 0, 23);
    int level = 8 + 10 * step;
    if (Distance(colour, Rgb{level, level, level}) < Distance(colour, cube))
        return 232 + step;
    return index;
}

// The average colour of the source pixels that output pixel (x, y) of a w x h scaling covers:
// at least one pixel, so that an enlargement repeats pixels.
Rgb Average(const formats::Bitmap& bitmap, int x, int y, int w, int h) {
    int x0 = x * bitmap.width / w, x1 = std::max(x0 + 1, (x + 1) * bitmap.width / w);
    int y0 = y * bitmap.height / h, y1 = std::max(y0 + 1, (y + 1) * bitmap.height / h);
    Rgb sum{};
    for (int sy = y0; sy < y1; ++sy) {
        const uint8_t* pixel = &bitmap.rgb[(static_cast<size_t>(sy) * bitmap.width + x0) * 3];
        for (int sx = x0; sx < x1; ++sx, pixel += 3)
            for (int i = 0; i < 3; ++i)
                sum[i] += pixel[i];
    }
    int count = (x1 - x0) * (y1 - y0);
    for (int& channel : sum)
        channel = (channel + count / 2) / count;
    return sum;
}

std::string Sgr(int layer, const Rgb& colour, CellColours colours) {
    std::string code = std::to_string(layer);
    if (colours == CellColours::Palette256)
        return code + ";5;" + std::to_string(PaletteIndex(colour));
    return code + ";2;" + std::to_string(colour[0]) + ";" + std::to_string(colour[1]) + ";" +
           std::to_string(colour[2]);
}
} // namespace

std::vector<std::string> PictureLines(const formats::Bitmap& bitmap, int columns, int maxRows,
                                      CellColours colours) {
    if (bitmap.width <= 0 || bitmap.height <= 0 || columns <= 0 || maxRows <= 0)
        return {};
    // Two pixel rows a cell, rounded; too high, and the width gives way to keep the shape.
    int rows = (columns * bitmap.height + bitmap.width) / (2 * bitmap.width);
    if (rows > maxRows) {
        rows = maxRows;
        columns =
            std::min(columns, (4 * rows * bitmap.width + bitmap.height) / (2 * bitmap.height));
    }
    rows = std::max(rows, 1);

    std::vector<std::string> lines;
    for (int row = 0; row < rows; ++row) {
        std::string line, lastTop, lastBottom;
        for (int column = 0; column < columns; ++column) {
            std::string top = Sgr(38, Average(bitmap, column, 2 * row, columns, 2 * rows), colours);
            std::string bottom =
                Sgr(48, Average(bitmap, column, 2 * row + 1, columns, 2 * rows), colours);
            // Only what differs from the cell before: most neighbours share a colour.
            std::string change;
            if (top != lastTop)
                change = top;
            if (bottom != lastBottom)
                change += (change.empty() ? "" : ";") + bottom;
            if (!change.empty())
                line += "\x1b[" + change + "m";
            line += kUpperHalfBlock;
            lastTop = std::move(top);
            lastBottom = std::move(bottom);
        }
        lines.push_back(line + "\x1b[0m");
    }
    return lines;
}
