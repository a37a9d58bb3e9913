// Version texts read from the bytes of PE and ELF files built by hand, and cut short; which
// headers make a program image (Windows' own reading: test_window_win).
#include "formats/FileVersionParser.h"
#include "VersionFiles.h"

#include <gtest/gtest.h>

using namespace test;

TEST(FileVersionParser, ElfVersionIsTheTopLevelVersionMemberWithEscapesDecoded) {
    const std::pair<std::string, const char*> cases[] = {
        {R"({"name":"zyn","version":"7.0.2.5"})", "7.0.2.5"},
        {R"( {"os":{"version":"12"}, "version" : "1.2" } )", "1.2"},
        {R"({"name":"version","version":"1.3"})", "1.3"},
        {R"({"v":["version",{"version":"9"}],"version":"1.4"})", "1.4"},
        {R"({"version":"7\u002e0\t\"x\\\/"})", "7.0\t\"x\\/"},
        {R"({"\u0076ersion":"1.5","version":"9"})", "1.5"},
        {"{\"version\":\"caf\xc3\xa9 \\ud83d\\ude00\"}", "caf? ?"},
        {R"({"name":"zyn"})", nullptr},
        {R"({"os":{"version":"12"}})", nullptr},
        {R"({"version":7})", nullptr},
        {R"({"version":"1\x"})", nullptr},
        {R"({"version":"1.2")", nullptr},
        {R"({"version":"1.2"} {})", nullptr},
        {R"(["version","1.2"])", nullptr},
        {"{\"a\":" + std::string(40, '[') + std::string(40, ']') + ",\"version\":\"1\"}", nullptr},
    };
    for (const auto& [json, expected] : cases) {
        std::string version = "unchanged";
        EXPECT_EQ(formats::ParseFileVersion(ElfFile(json), version), expected != nullptr) << json;
        EXPECT_EQ(version, expected ? expected : "unchanged") << json;
    }
}

TEST(FileVersionParser, FilesWithoutVersionOrCutShortGiveFalseAndLeaveTheTextAlone) {
    const std::string pe = PeFile(VersionInfo("080904B0", "7, 0, 2, 5", 0x0809, 0x04B0));
    const std::string elf = ElfFile("{\"version\":\"7.0.2.5\"}");
    std::string version = "unchanged";
    EXPECT_FALSE(formats::ParseFileVersion("", version));
    EXPECT_FALSE(formats::ParseFileVersion("#!/bin/sh\necho\n", version));
    EXPECT_EQ(version, "unchanged");
    // A file cut anywhere is refused, or (cut only after what is read) gives the true text;
    // never a read past its end (the sanitizer build watches that).
    for (const auto& [file, text] : {std::pair{pe, "7, 0, 2, 5"}, {elf, "7.0.2.5"}})
        for (size_t length = 0; length < file.size(); ++length) {
            version = "unchanged";
            EXPECT_TRUE(
                !formats::ParseFileVersion(std::string_view(file).substr(0, length), version) ||
                version == text)
                << length;
        }
}

TEST(FileVersionParser, OnlyTheHeadersOfAProgramOrLibraryImageMakeOneOfItsFormat) {
    using enum formats::ProgramFormat;
    const std::string pe = PeWithVersion("1.0.0.0"), elf = ElfFile("{}");
    const auto altered = [](std::string file, size_t at, char value) {
        file[at] = value;
        return file;
    };
    // The PE headers at 8 KiB, where the DOS header may point.
    const std::string farPe = "MZ" + std::string(0x3A, '\0') + std::string("\0\x20\0\0", 4) +
                              std::string(0x2000 - 0x40, '\0') + pe.substr(0x40);
    const struct {
        const char* name;
        std::string head;
        std::optional<formats::ProgramFormat> format;
    } cases[] = {
        {"PE", pe, Pe},
        {"ELF", elf, Elf},
        {"32-bit big-endian ELF program", std::string("\177ELF\1\2\1\0\0\0\0\0\0\0\0\0\0\2", 18),
         Elf},
        {"ELF object file", altered(elf, 16, 1), std::nullopt},
        {"PE not marked an image", altered(pe, 0x44 + 18, 0), std::nullopt},
        {"PE of an unknown optional header", altered(pe, 0x44 + 21, 0x7), std::nullopt},
        {"PE without MZ", altered(pe, 0, 'X'), std::nullopt},
        {"PE headers beyond the first 4 KiB", farPe.substr(0, 4096), std::nullopt},
        {"headers cut short", pe.substr(0, 0x44 + 20), std::nullopt},
        {"script", "#!/bin/sh\necho\n", std::nullopt},
    };
    for (const auto& c : cases)
        for (formats::ProgramFormat format : {Pe, Elf})
            EXPECT_EQ(formats::IsProgramImage(c.head, format), c.format == format) << c.name;
}
