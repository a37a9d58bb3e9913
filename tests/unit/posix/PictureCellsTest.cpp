// The picture in terminal cells: its size for the room given, each half cell's colours.
#include "framework/terminal/PictureCells.h"
#include "formats/BmpReader.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using Rgb = std::array<uint8_t, 3>;
const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255},
    kGrey{128, 128, 128}, kBlack{0, 0, 0};
const std::string kBlock = "\xe2\x96\x80"; // upper half block

formats::Bitmap Pixels(int width, const std::vector<Rgb>& pixels) {
    formats::Bitmap bitmap{width, static_cast<int>(pixels.size()) / width, {}};
    for (const Rgb& pixel : pixels)
        bitmap.rgb.insert(bitmap.rgb.end(), pixel.begin(), pixel.end());
    return bitmap;
}

TEST(PictureCells, PictureFillsTheColumnsUnlessTooHighThenKeepsItsShape) {
    // bitmap width, height; columns, rows allowed; columns and rows drawn
    const std::tuple<int, int, int, int, size_t, size_t> cases[] = {
        {371, 152, 78, 20, 78, 16}, // two pixel rows a cell: 78 * 152 / 371 / 2
        {371, 152, 78, 14, 68, 14}, // capped: the width shrinks with it
        {371, 152, 38, 20, 38, 8},  {2, 2, 40, 20, 40, 20}, // enlarged, each pixel repeated
        {371, 152, 0, 20, 0, 0},                            // no room
        {371, 152, 78, 0, 0, 0},
    };
    for (const auto& [width, height, columns, maxRows, drawnColumns, drawnRows] : cases) {
        const auto lines = PictureLines(Pixels(width, std::vector<Rgb>(width * height, kGrey)),
                                        columns, maxRows, CellColours::TrueColour);
        ASSERT_EQ(lines.size(), drawnRows) << width << "x" << height << " in " << columns;
        for (const std::string& line : lines) {
            size_t blocks = 0;
            for (size_t at = line.find(kBlock); at != std::string::npos;
                 at = line.find(kBlock, at + 1))
                ++blocks;
            EXPECT_EQ(blocks, drawnColumns) << width << "x" << height << " in " << columns;
        }
    }
}

TEST(PictureCells, EachCellShowsItsUpperPixelOnItsLowerOneAndSendsOnlyColourChanges) {
    // Top row red, red, green; bottom row blue, blue, grey.
    const formats::Bitmap bitmap = Pixels(3, {kRed, kRed, kGreen, kBlue, kBlue, kGrey});
    EXPECT_EQ(PictureLines(bitmap, 3, 1, CellColours::TrueColour),
              std::vector<std::string>{"\x1b[38;2;255;0;0;48;2;0;0;255m" + kBlock + kBlock +
                                       "\x1b[38;2;0;255;0;48;2;128;128;128m" + kBlock + "\x1b[0m"});
    // The colour cube's corners, and grey from the grey ramp.
    EXPECT_EQ(PictureLines(bitmap, 3, 1, CellColours::Palette256),
              std::vector<std::string>{"\x1b[38;5;196;48;5;21m" + kBlock + kBlock +
                                       "\x1b[38;5;46;48;5;244m" + kBlock + "\x1b[0m"});
    // Halved: each half cell is the average of the two by two pixels it covers.
    const formats::Bitmap chequered =
        Pixels(4, {kBlack, kWhite, kRed, kRed, kWhite, kBlack, kRed, kRed, kRed, kRed, kBlue, kBlue,
                   kRed, kRed, kBlue, kBlue});
    EXPECT_EQ(PictureLines(chequered, 2, 1, CellColours::TrueColour),
              std::vector<std::string>{"\x1b[38;2;128;128;128;48;2;255;0;0m" + kBlock +
                                       "\x1b[38;2;255;0;0;48;2;0;0;255m" + kBlock + "\x1b[0m"});
}

} // namespace
