// Reading a picture out of the bytes of a BMP file, for the hosts that draw pictures themselves.
// The bytes are a file's: a damaged or hostile one gives no picture, never a read outside them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace formats {

struct Bitmap {
    int width = 0, height = 0;
    // Red, green, blue for each pixel, the top row first.
    std::vector<uint8_t> rgb;
};

// An uncompressed 24-bit BMP, bottom-up or top-down, of at most 4096 pixels each way. False
// for anything else; `bitmap` is then left untouched.
bool ReadBmp(std::string_view file, Bitmap& bitmap);

} // namespace formats
