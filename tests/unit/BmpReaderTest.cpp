// BMP files built here by hand: the pixels of both row orders, and damaged or unsupported files
// that give no picture.
#include "formats/BmpReader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {
void Put(std::string& bytes, size_t at, uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// A 2 x 2 picture, 24 bits: top row red, green; bottom row blue, white. Rows of six bytes are
// padded to eight.
std::string Bmp(bool topDown) {
    using namespace std::string_literals;
    const std::string top = "\x00\x00\xff\x00\xff\x00\0\0"s,
                      bottom = "\xff\x00\x00\xff\xff\xff\0\0"s;
    std::string bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put(bytes, 10, 54, 4);
    Put(bytes, 14, 40, 4);
    Put(bytes, 18, 2, 4);
    Put(bytes, 22, topDown ? uint32_t(-2) : 2u, 4);
    Put(bytes, 26, 1, 2);
    Put(bytes, 28, 24, 2);
    return bytes + (topDown ? top + bottom : bottom + top);
}
} // namespace

TEST(BmpReaderTest, PixelsComeTopRowFirstInRedGreenBlueWhicheverWayTheRowsAreStored) {
    const std::vector<uint8_t> expected = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    for (bool topDown : {false, true}) {
        formats::Bitmap bitmap;
        ASSERT_TRUE(formats::ReadBmp(Bmp(topDown), bitmap)) << topDown;
        EXPECT_EQ(bitmap.width, 2);
        EXPECT_EQ(bitmap.height, 2);
        EXPECT_EQ(bitmap.rgb, expected) << topDown;
    }
    // The last row's padding may be missing.
    formats::Bitmap bitmap;
    EXPECT_TRUE(formats::ReadBmp(Bmp(false).substr(0, 54 + 8 + 6), bitmap));
}

TEST(BmpReaderTest, DamagedOrUnsupportedFilesGiveNoPictureAndLeaveTheOldOne) {
    const std::pair<const char*, std::function<void(std::string&)>> cases[] = {
        {"pixels cut short", [](std::string& b) { b.resize(b.size() - 3); }},
        {"headers cut short", [](std::string& b) { b.resize(53); }},
        {"not BM", [](std::string& b) { b[1] = 'A'; }},
        {"pixels beyond the end", [](std::string& b) { Put(b, 10, 0xfffffff0u, 4); }},
        {"core header", [](std::string& b) { Put(b, 14, 12, 4); }},
        {"32 bits", [](std::string& b) { Put(b, 28, 32, 2); }},
        {"compressed", [](std::string& b) { Put(b, 30, 1, 4); }},
        {"too wide", [](std::string& b) { Put(b, 18, 4097, 4); }},
        {"height INT32_MIN", [](std::string& b) { Put(b, 22, 0x80000000u, 4); }},
    };
    for (const auto& [name, damage] : cases) {
        std::string file = Bmp(false);
        damage(file);
        formats::Bitmap bitmap;
        bitmap.width = 7;
        EXPECT_FALSE(formats::ReadBmp(file, bitmap)) << name;
        EXPECT_EQ(bitmap.width, 7) << name;
        EXPECT_TRUE(bitmap.rgb.empty()) << name;
    }
}
