// The BMP reader: the file header, a BITMAPINFOHEADER or a later, longer one, then the rows.
#include "formats/BmpReader.h"

#include <cstdlib>

namespace formats {

namespace {
constexpr int kMaxSide = 4096;
constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;

uint32_t U32(std::string_view bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 4; i-- > 0;)
        value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

uint16_t U16(std::string_view bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                                 static_cast<uint8_t>(bytes[at + 1]) << 8);
}
} // namespace

bool ReadBmp(std::string_view file, Bitmap& bitmap) {
    if (file.size() < kFileHeaderSize + kInfoHeaderSize || file.substr(0, 2) != "BM")
        return false;
    uint64_t pixelsAt = U32(file, 10);
    const size_t info = kFileHeaderSize;
    auto width = static_cast<int32_t>(U32(file, info + 4));
    auto height = static_cast<int32_t>(U32(file, info + 8));
    if (U32(file, info) < kInfoHeaderSize || U16(file, info + 12) != 1 ||
        U16(file, info + 14) != 24 || U32(file, info + 16) != 0)
        return false;
    // A negative height is a picture stored top row first; INT32_MIN has no positive side.
    bool topDown = height < 0;
    if (width <= 0 || width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide)
        return false;
    int rows = std::abs(height);
    // Each stored row is padded to a multiple of four bytes; the last one need not be.
    uint64_t rowBytes = static_cast<uint64_t>(width) * 3;
    uint64_t stride = (rowBytes + 3) & ~uint64_t{3};
    if (pixelsAt + stride * static_cast<uint64_t>(rows - 1) + rowBytes > file.size())
        return false;

    bitmap.width = width;
    bitmap.height = rows;
    bitmap.rgb.resize(static_cast<size_t>(rowBytes) * static_cast<size_t>(rows));
    uint8_t* out = bitmap.rgb.data();
    for (int y = 0; y < rows; ++y) {
        int stored = topDown ? y : rows - 1 - y;
        auto row = reinterpret_cast<const uint8_t*>(file.data() + pixelsAt + stride * stored);
        for (int x = 0; x < width; ++x, out += 3) {
            out[0] = row[3 * x + 2]; // stored as blue, green, red
            out[1] = row[3 * x + 1];
            out[2] = row[3 * x];
        }
    }
    return true;
}

} // namespace formats
