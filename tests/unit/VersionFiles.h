// Program files built by hand: a PE file with a version resource and an ELF file with a
// package note, for the tests of the version readers, the component checks and the downloads.
#pragma once

#include "framework/System.h"

#include <cstdint>
#include <string>
#include <vector>

namespace test {

inline void Put(std::string& out, size_t offset, uint64_t value, int width) {
    if (out.size() < offset + width)
        out.resize(offset + width, '\0');
    for (int i = 0; i < width; ++i)
        out[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline void Pad4(std::string& out) {
    while (out.size() % 4)
        out += '\0';
}

inline std::string Utf16(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c;
        out += '\0';
    }
    return out + std::string(2, '\0');
}

// One node of a version information tree. Text values count their length in characters.
inline std::string Block(const std::string& key, const std::string& value, bool text,
                         const std::vector<std::string>& children = {}) {
    std::string out(6, '\0');
    out += Utf16(key);
    Pad4(out);
    out += value;
    Pad4(out);
    for (const std::string& child : children) {
        out += child;
        Pad4(out);
    }
    Put(out, 0, out.size(), 2);
    Put(out, 2, text ? value.size() / 2 : value.size(), 2);
    Put(out, 4, text ? 1 : 0, 2);
    return out;
}

inline std::string VersionInfo(const std::string& table, const std::string& fileVersion,
                               uint16_t language, uint16_t codePage) {
    std::string translation;
    Put(translation, 0, language, 2);
    Put(translation, 2, codePage, 2);
    std::string fixed(52, '\0');
    Put(fixed, 0, 0xFEEF04BD, 4);
    return Block("VS_VERSION_INFO", fixed, false,
                 {Block("StringFileInfo", "", true,
                        {Block(table, "", true,
                               {Block("CompanyName", Utf16("Zyn"), true),
                                Block("FileVersion", Utf16(fileVersion), true)})}),
                  Block("VarFileInfo", "", true, {Block("Translation", translation, false)})});
}

// A PE32+ file with one section holding the resource tree: version / id 1 / language.
inline std::string PeFile(const std::string& versionInfo) {
    std::string f(0x200, '\0');
    f[0] = 'M';
    f[1] = 'Z';
    Put(f, 0x3C, 0x40, 4);
    f.replace(0x40, 4, std::string("PE\0\0", 4));
    size_t coff = 0x44, optional = coff + 20;
    Put(f, coff + 2, 1, 2);     // one section
    Put(f, coff + 16, 240, 2);  // optional header size
    Put(f, coff + 18, 0x22, 2); // an executable image, large addresses
    Put(f, optional, 0x20b, 2);
    Put(f, optional + 108, 16, 4); // directories
    Put(f, optional + 112 + 16, 0x1000, 4);
    Put(f, optional + 112 + 20, 0x58 + versionInfo.size(), 4);
    size_t section = optional + 240;
    f.replace(section, 5, ".rsrc");
    std::string rsrc(0x58, '\0');
    Put(rsrc, 0x0E, 1, 2);
    Put(rsrc, 0x10, 16, 4);
    Put(rsrc, 0x14, 0x80000018, 4);
    Put(rsrc, 0x18 + 0x0E, 1, 2);
    Put(rsrc, 0x28, 1, 4);
    Put(rsrc, 0x2C, 0x80000030, 4);
    Put(rsrc, 0x30 + 0x0E, 1, 2);
    Put(rsrc, 0x40, 0x409, 4);
    Put(rsrc, 0x44, 0x48, 4);
    Put(rsrc, 0x48, 0x1000 + 0x58, 4);
    Put(rsrc, 0x4C, versionInfo.size(), 4);
    rsrc += versionInfo;
    Put(f, section + 8, rsrc.size(), 4);
    Put(f, section + 12, 0x1000, 4);
    Put(f, section + 16, rsrc.size(), 4);
    Put(f, section + 20, 0x200, 4);
    return f + rsrc;
}

// A PE file whose US English FileVersion is `fileVersion`.
inline std::string PeWithVersion(const std::string& fileVersion) {
    return PeFile(VersionInfo("040904B0", fileVersion, 0x0409, 0x04B0));
}

// An ELF64 file with a ".note.package" section and its section name table.
inline std::string ElfFile(const std::string& json) {
    std::string note;
    Put(note, 0, 4, 4);
    Put(note, 4, json.size() + 1, 4);
    Put(note, 8, 0xcafe1a7e, 4);
    note += std::string("FDO\0", 4) + json + '\0';
    Pad4(note);
    std::string names = std::string("\0.shstrtab\0.note.package\0", 25);
    std::string f(64, '\0');
    f.replace(0, 4,
              "\x7f"
              "ELF");
    f[4] = 2;         // 64-bit
    f[5] = 1;         // little-endian
    f[6] = 1;         // the ELF version
    Put(f, 16, 3, 2); // a shared object, as a position-independent program is
    size_t noteAt = f.size();
    f += note;
    size_t namesAt = f.size();
    f += names;
    Pad4(f);
    size_t headers = f.size();
    Put(f, 0x28, headers, 8);
    Put(f, 0x3A, 64, 2);
    Put(f, 0x3C, 3, 2);
    Put(f, 0x3E, 1, 2);
    f += std::string(3 * 64, '\0');
    Put(f, headers + 64 + 0, 1, 4);
    Put(f, headers + 64 + 0x18, namesAt, 8);
    Put(f, headers + 64 + 0x20, names.size(), 8);
    Put(f, headers + 128 + 0, 11, 4);
    Put(f, headers + 128 + 4, 7, 4);
    Put(f, headers + 128 + 0x18, noteAt, 8);
    Put(f, headers + 128 + 0x20, note.size(), 8);
    return f;
}

// The first bytes of a program that this system can start (its format's headers); a test
// program is these followed by any bytes.
inline std::string NativeProgramHead() {
    return sys::NativeProgramFormat() == formats::ProgramFormat::Pe ? PeWithVersion("1.0.0.0")
                                                                    : ElfFile("{}");
}

} // namespace test
