// Fuzzes the BMP reader with whole files, and draws what it reads in terminal cells. Besides
// memory faults it checks the reader's promises: a failed read leaves the picture alone, a
// good one gives three bytes for each pixel.
#include "formats/BmpReader.h"
#include "framework/terminal/PictureCells.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    formats::Bitmap bitmap;
    bitmap.width = -1;
    if (!formats::ReadBmp(std::string_view(reinterpret_cast<const char*>(data), size), bitmap)) {
        if (bitmap.width != -1 || !bitmap.rgb.empty())
            __builtin_trap();
        return 0;
    }
    if (bitmap.rgb.size() != static_cast<size_t>(bitmap.width) * bitmap.height * 3)
        __builtin_trap();
    PictureLines(bitmap, 1 + size % 97, 1 + size % 13,
                 size % 2 ? CellColours::TrueColour : CellColours::Palette256);
    return 0;
}
