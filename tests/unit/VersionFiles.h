// Program files built by hand: a PE file with a version resource, an ELF file with a package note.
#pragma once

#include "framework/System.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace test {

// Little-endian fields written at `base` + their offset, the text grown as needed.
struct Field {
    size_t at;
    uint64_t value;
    int width;
};
inline void Put(std::string& out, size_t base, std::initializer_list<Field> fields) {
    for (const Field& f : fields) {
        if (out.size() < base + f.at + f.width)
            out.resize(base + f.at + f.width, '\0');
        for (int i = 0; i < f.width; ++i)
            out[base + f.at + i] = static_cast<char>(f.value >> (8 * i));
    }
}
inline void Pad4(std::string& out) {
    out.resize((out.size() + 3) / 4 * 4, '\0');
}
inline std::string Utf16(const std::string& text) {
    std::string out;
    for (char c : text)
        out.append({c, '\0'});
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
    Put(out, 0, {{0, out.size(), 2}, {2, text ? value.size() / 2 : value.size(), 2}, {4, text, 2}});
    return out;
}

inline std::string VersionInfo(const std::string& table, const std::string& fileVersion,
                               uint16_t language, uint16_t codePage) {
    std::string translation, fixed(52, '\0');
    Put(translation, 0, {{0, language, 2}, {2, codePage, 2}});
    Put(fixed, 0, {{0, 0xFEEF04BD, 4}});
    return Block("VS_VERSION_INFO", fixed, false,
                 {Block("StringFileInfo", "", true,
                        {Block(table, "", true,
                               {Block("CompanyName", Utf16("Zyn"), true),
                                Block("FileVersion", Utf16(fileVersion), true)})}),
                  Block("VarFileInfo", "", true, {Block("Translation", translation, false)})});
}

// A PE32+ image with one section holding the resource tree: version / id 1 / language.
inline std::string PeFile(const std::string& versionInfo) {
    std::string f = std::string("MZ") + std::string(0x1FE, '\0');
    const size_t coff = 0x44, optional = coff + 20, section = optional + 240;
    f.replace(0x40, 4, std::string("PE\0\0", 4));
    f.replace(section, 5, ".rsrc");
    // One section, the optional header's size, an image with large addresses; PE32+, 16
    // directories of which the resources' is the third.
    Put(f, 0, {{0x3C, 0x40, 4}, {coff + 2, 1, 2}, {coff + 16, 240, 2}, {coff + 18, 0x22, 2}});
    Put(f, optional,
        {{0, 0x20b, 2}, {108, 16, 4}, {128, 0x1000, 4}, {132, 0x58 + versionInfo.size(), 4}});
    std::string rsrc(0x58, '\0');
    Put(rsrc, 0, {{0x0E, 1, 2}, {0x10, 16, 4}, {0x14, 0x80000018, 4}, {0x26, 1, 2}, {0x28, 1, 4}});
    Put(rsrc, 0, {{0x2C, 0x80000030, 4}, {0x3E, 1, 2}, {0x40, 0x409, 4}, {0x44, 0x48, 4}});
    Put(rsrc, 0, {{0x48, 0x1000 + 0x58, 4}, {0x4C, versionInfo.size(), 4}});
    rsrc += versionInfo;
    Put(f, section, {{8, rsrc.size(), 4}, {12, 0x1000, 4}, {16, rsrc.size(), 4}, {20, 0x200, 4}});
    return f + rsrc;
}

// A PE file whose US English FileVersion is `fileVersion`.
inline std::string PeWithVersion(const std::string& fileVersion) {
    return PeFile(VersionInfo("040904B0", fileVersion, 0x0409, 0x04B0));
}

// An ELF64 shared object (as a position-independent program is) with a ".note.package"
// section and its section name table.
inline std::string ElfFile(const std::string& json) {
    std::string note;
    Put(note, 0, {{0, 4, 4}, {4, json.size() + 1, 4}, {8, 0xcafe1a7e, 4}});
    note += std::string("FDO\0", 4) + json + '\0';
    Pad4(note);
    const std::string names("\0.shstrtab\0.note.package\0", 25);
    std::string f = std::string("\177ELF\2\1\1", 7) + std::string(57, '\0');
    const size_t noteAt = f.size(), namesAt = noteAt + note.size();
    f += note + names;
    Pad4(f);
    const size_t headers = f.size();
    Put(f, 0, {{16, 3, 2}, {0x28, headers, 8}, {0x3A, 64, 2}, {0x3C, 3, 2}, {0x3E, 1, 2}});
    Put(f, headers + 64, {{0, 1, 4}, {0x18, namesAt, 8}, {0x20, names.size(), 8}});
    Put(f, headers + 128, {{0, 11, 4}, {4, 7, 4}, {0x18, noteAt, 8}, {0x20, note.size(), 8}});
    f.resize(headers + 3 * 64, '\0');
    return f;
}

// The first bytes of a program that this system can start (its format's headers); a test
// program is these followed by any bytes.
inline std::string NativeProgramHead() {
    return sys::NativeProgramFormat() == formats::ProgramFormat::Pe ? PeWithVersion("1.0.0.0")
                                                                    : ElfFile("{}");
}

} // namespace test
