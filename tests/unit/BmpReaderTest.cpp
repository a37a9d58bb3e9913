// BMP files built by hand: both row orders, and damaged or unsupported files give no picture.
#include "formats/BmpReader.h"
#include "VersionFiles.h"

#include <gtest/gtest.h>

namespace {

// A 2 x 2 picture, 24 bits: top row red, green; bottom row blue, white; rows of six bytes
// padded to eight. One header field may be changed.
std::string Bmp(bool topDown, test::Field change = {0, 'B', 1}) {
    using namespace std::string_literals;
    const std::string top = "\x00\x00\xff\x00\xff\x00\0\0"s,
                      bottom = "\xff\x00\x00\xff\xff\xff\0\0"s;
    std::string bytes = "BM" + std::string(52, '\0');
    test::Put(bytes, 0,
              {{10, 54, 4},
               {14, 40, 4},
               {18, 2, 4},
               {22, topDown ? uint32_t(-2) : 2u, 4},
               {26, 1, 2},
               {28, 24, 2},
               change});
    return bytes + (topDown ? top + bottom : bottom + top);
}

TEST(BmpReader, PixelsComeTopRowFirstInRedGreenBlueWhicheverWayTheRowsAreStored) {
    // The last row's padding may be missing.
    for (const std::string& file : {Bmp(false), Bmp(true), Bmp(false).substr(0, 54 + 8 + 6)}) {
        formats::Bitmap bitmap;
        ASSERT_TRUE(formats::ReadBmp(file, bitmap));
        EXPECT_EQ(std::pair(bitmap.width, bitmap.height), std::pair(2, 2));
        EXPECT_EQ(bitmap.rgb,
                  (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}));
    }
}

TEST(BmpReader, DamagedOrUnsupportedFilesGiveNoPictureAndLeaveTheOldOne) {
    const std::pair<const char*, std::string> cases[] = {
        {"pixels cut short", Bmp(false).substr(0, 54 + 13)},
        {"headers cut short", Bmp(false).substr(0, 53)},
        {"not BM", Bmp(false, {1, 'A', 1})},
        {"pixels beyond the end", Bmp(false, {10, 0xfffffff0u, 4})},
        {"core header", Bmp(false, {14, 12, 4})},
        {"32 bits", Bmp(false, {28, 32, 2})},
        {"compressed", Bmp(false, {30, 1, 4})},
        {"too wide", Bmp(false, {18, 4097, 4})},
        {"height INT32_MIN", Bmp(false, {22, 0x80000000u, 4})},
    };
    for (const auto& [name, file] : cases) {
        formats::Bitmap bitmap;
        bitmap.width = 7;
        EXPECT_FALSE(formats::ReadBmp(file, bitmap)) << name;
        EXPECT_EQ(bitmap.width, 7) << name;
        EXPECT_TRUE(bitmap.rgb.empty()) << name;
    }
}

} // namespace
