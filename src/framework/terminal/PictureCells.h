// The picture control as a terminal shows it: a bitmap scaled into character cells that each
// show two pixels, one above the other, as an upper half block in the upper pixel's colour on
// a background of the lower one's.
#pragma once

#include "formats/BmpReader.h"

#include <string>
#include <vector>

enum class CellColours { Palette256, TrueColour };

// The bitmap at the largest size that fits `columns` and `maxRows` and keeps its proportions
// (a cell is about twice as high as wide): one line per row of cells, each a run of half blocks
// with the colour changes between them, ending in a reset to the terminal's own colours. No
// lines when nothing fits.
std::vector<std::string> PictureLines(const formats::Bitmap& bitmap, int columns, int maxRows,
                                      CellColours colours);
