// Version texts read from program files' bytes: an ELF package note and a PE version resource,
// built here by hand, and both cut short. How Windows itself reads real programs' resources is
// compared with this reader end to end.
#include "formats/FileVersionParser.h"
#include "VersionFiles.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace test;

TEST(FileVersionParserTest, ElfVersionIsTheTopLevelVersionMemberWithEscapesDecoded) {
    const struct {
        std::string json;
        std::optional<std::string> version;
    } cases[] = {
        {R"({"name":"zyn","version":"7.0.2.5"})", "7.0.2.5"},
        {R"( {"os":{"version":"12"}, "version" : "1.2" } )", "1.2"},
        {R"({"name":"version","version":"1.3"})", "1.3"},
        {R"({"v":["version",{"version":"9"}],"version":"1.4"})", "1.4"},
        {R"({"version":"7\u002e0\t\"x\\\/"})", "7.0\t\"x\\/"},
        {R"({"\u0076ersion":"1.5","version":"9"})", "1.5"},
        {"{\"version\":\"caf\xc3\xa9 \\ud83d\\ude00\"}", "caf? ?"},
        {R"({"name":"zyn"})", std::nullopt},
        {R"({"os":{"version":"12"}})", std::nullopt},
        {R"({"version":7})", std::nullopt},
        {R"({"version":"1\x"})", std::nullopt},
        {R"({"version":"1.2")", std::nullopt},
        {R"({"version":"1.2"} {})", std::nullopt},
        {R"(["version","1.2"])", std::nullopt},
        {"{\"a\":" + std::string(40, '[') + std::string(40, ']') + ",\"version\":\"1\"}",
         std::nullopt},
    };
    for (const auto& c : cases) {
        std::string version = "unchanged";
        EXPECT_EQ(formats::ParseFileVersion(ElfFile(c.json), version), c.version.has_value())
            << c.json;
        EXPECT_EQ(version, c.version.value_or("unchanged")) << c.json;
    }
}

TEST(FileVersionParserTest, FilesWithoutVersionOrCutShortGiveFalseAndLeaveTheTextAlone) {
    std::string pe = PeFile(VersionInfo("080904B0", "7, 0, 2, 5", 0x0809, 0x04B0));
    std::string elf = ElfFile("{\"version\":\"7.0.2.5\"}");
    std::string version = "unchanged";
    EXPECT_FALSE(formats::ParseFileVersion("", version));
    EXPECT_FALSE(formats::ParseFileVersion("#!/bin/sh\necho\n", version));
    // A file cut anywhere is refused, or (cut only after what is read) gives the true text;
    // never a read past its end (the sanitizer build watches that).
    for (const std::string* file : {&pe, &elf})
        for (size_t length = 0; length < file->size(); ++length) {
            std::string text = "unchanged";
            if (formats::ParseFileVersion(std::string_view(*file).substr(0, length), text)) {
                EXPECT_EQ(text, file == &pe ? "7, 0, 2, 5" : "7.0.2.5") << length;
            }
        }
    EXPECT_EQ(version, "unchanged");
}

TEST(FileVersionParserTest, OnlyTheHeadersOfAProgramOrLibraryImageMakeOneOfItsFormat) {
    const std::string pe = PeWithVersion("1.0.0.0"), elf = ElfFile("{}");
    const auto altered = [](const std::string& file, size_t at, char value) {
        return file.substr(0, at) + value + file.substr(at + 1);
    };
    // The PE headers at 8 KiB, where the DOS header may point.
    const std::string farPe = "MZ" + std::string(0x3A, '\0') + std::string("\0\x20\0\0", 4) +
                              std::string(0x2000 - 0x40, '\0') + pe.substr(0x40);
    const struct {
        const char* name;
        std::string head;
        std::optional<formats::ProgramFormat> format;
    } cases[] = {
        {"PE", pe, formats::ProgramFormat::Pe},
        {"ELF", elf, formats::ProgramFormat::Elf},
        {"32-bit big-endian ELF program",
         std::string("\x7f"
                     "ELF\1\2\1\0\0\0\0\0\0\0\0\0\0\2",
                     18),
         formats::ProgramFormat::Elf},
        {"ELF object file", altered(elf, 16, 1), std::nullopt},
        {"PE not marked an image", altered(pe, 0x44 + 18, 0), std::nullopt},
        {"PE of an unknown optional header", altered(pe, 0x44 + 21, 0x7), std::nullopt},
        {"PE without MZ", altered(pe, 0, 'X'), std::nullopt},
        {"PE headers beyond the first 4 KiB", farPe.substr(0, 4096), std::nullopt},
        {"headers cut short", pe.substr(0, 0x44 + 20), std::nullopt},
        {"script", "#!/bin/sh\necho\n", std::nullopt},
    };
    for (const auto& c : cases)
        for (formats::ProgramFormat format :
             {formats::ProgramFormat::Pe, formats::ProgramFormat::Elf})
            EXPECT_EQ(formats::IsProgramImage(c.head, format), c.format == format) << c.name;
}
