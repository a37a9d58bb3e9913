// Fuzzes the BMP reader with whole files, and draws what it reads in terminal cells: a failed
// read leaves the picture alone, a good one gives three bytes for each pixel.
#include "FuzzCheck.h"
#include "formats/BmpReader.h"
#include "framework/terminal/PictureCells.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    formats::Bitmap bitmap{-1, 0, {}};
    if (!formats::ReadBmp(InputText(data, size), bitmap)) {
        Require(bitmap.width == -1 && bitmap.rgb.empty());
        return 0;
    }
    Require(bitmap.rgb.size() == static_cast<size_t>(bitmap.width) * bitmap.height * 3);
    PictureLines(bitmap, 1 + size % 97, 1 + size % 13,
                 size % 2 ? CellColours::TrueColour : CellColours::Palette256);
    return 0;
}
