// The PE reader: the FileVersion text of a program file's version resource, found as Windows
// finds it. Every offset and length read from the file is checked against the bytes there.
#include "formats/FileVersionParser.h"

#include "formats/FileBytes.h"

#include <optional>
#include <string>

namespace formats {

using formats::Align4;
using formats::Bytes;

namespace {

// A node of the version information tree: length, value length, type, UTF-16 key, value,
// children, each part aligned to 4 bytes from the start of the tree.
struct VersionBlock {
    uint64_t start, end, valueStart, valueBytes, childrenStart;
    std::string key;
};

std::optional<VersionBlock> ReadBlock(const Bytes& b, uint64_t start, uint64_t limit) {
    auto length = b.Read(start, 2), valueLength = b.Read(start + 2, 2), type = b.Read(start + 4, 2);
    if (!length || !valueLength || !type || *length < 6 || start + *length > limit)
        return std::nullopt;
    VersionBlock block{start, start + *length, 0, 0, 0, {}};
    uint64_t p = start + 6;
    for (;; p += 2) {
        auto c = b.Read(p, 2);
        if (!c || p + 2 > block.end)
            return std::nullopt;
        if (*c == 0)
            break;
        block.key += *c < 0x80 ? static_cast<char>(*c) : '?';
    }
    block.valueStart = Align4(p + 2);
    block.valueBytes = *type == 1 ? *valueLength * 2 : *valueLength;
    if (block.valueStart > block.end)
        block.valueStart = block.end;
    if (block.valueBytes > block.end - block.valueStart)
        block.valueBytes = block.end - block.valueStart;
    block.childrenStart = Align4(block.valueStart + block.valueBytes);
    return block;
}

bool SameKey(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

std::optional<VersionBlock> FindChild(const Bytes& b, const VersionBlock& parent,
                                      const std::string& key) {
    for (uint64_t p = parent.childrenStart; p + 6 <= parent.end;) {
        auto child = ReadBlock(b, p, parent.end);
        if (!child)
            return std::nullopt;
        if (SameKey(child->key, key))
            return child;
        p = Align4(child->end);
    }
    return std::nullopt;
}

bool VersionFromVersionInfo(const Bytes& b, uint64_t start, uint64_t size, std::string& version) {
    auto root = ReadBlock(b, start, start + size);
    if (!root)
        return false;
    auto varInfo = FindChild(b, *root, "VarFileInfo");
    auto translation = varInfo ? FindChild(b, *varInfo, "Translation") : std::nullopt;
    if (!translation || translation->valueBytes < 4)
        return false;
    auto language = b.Read(translation->valueStart, 2);
    auto codePage = b.Read(translation->valueStart + 2, 2);
    static const char* hex = "0123456789ABCDEF";
    std::string table;
    for (uint64_t v : {*language, *codePage})
        for (int shift = 12; shift >= 0; shift -= 4)
            table += hex[(v >> shift) & 0xF];
    auto stringInfo = FindChild(b, *root, "StringFileInfo");
    auto strings = stringInfo ? FindChild(b, *stringInfo, table) : std::nullopt;
    auto fileVersion = strings ? FindChild(b, *strings, "FileVersion") : std::nullopt;
    if (!fileVersion)
        return false;
    std::string text;
    for (uint64_t p = fileVersion->valueStart;
         p + 2 <= fileVersion->valueStart + fileVersion->valueBytes; p += 2) {
        uint64_t c = *b.Read(p, 2);
        if (c == 0)
            break;
        text += c < 0x80 ? static_cast<char>(c) : '?';
    }
    version = text;
    return true;
}

// Where the COFF header begins: after the "PE\0\0" signature at the offset that the DOS header
// names.
std::optional<uint64_t> FindCoffHeader(const Bytes& b) {
    auto peOffset = b.Read(0x3C, 4);
    if (!peOffset || b.Slice(*peOffset, 4) != std::string_view("PE\0\0", 4))
        return std::nullopt;
    return *peOffset + 4;
}

bool ParsePe(const Bytes& b, std::string& version) {
    const auto coffHeader = FindCoffHeader(b);
    if (!coffHeader)
        return false;
    uint64_t coff = *coffHeader;
    auto sections = b.Read(coff + 2, 2), optionalSize = b.Read(coff + 16, 2);
    uint64_t optional = coff + 20;
    auto magic = b.Read(optional, 2);
    if (!sections || !optionalSize || !magic)
        return false;
    uint64_t directories = optional + (*magic == 0x20b ? 112 : 96);
    auto directoryCount = b.Read(directories - 4, 4);
    if (!directoryCount || *directoryCount < 3 || directories + 24 > optional + *optionalSize)
        return false;
    auto resourceRva = b.Read(directories + 16, 4);
    if (!resourceRva || *resourceRva == 0)
        return false;

    uint64_t table = optional + *optionalSize;
    // Where an RVA lies in the file, and where the raw data of its section ends.
    struct Place {
        uint64_t offset, sectionEnd;
    };
    auto toFile = [&](uint64_t rva) -> std::optional<Place> {
        for (uint64_t i = 0; i < *sections; ++i) {
            uint64_t s = table + i * 40;
            auto virtualSize = b.Read(s + 8, 4), address = b.Read(s + 12, 4),
                 rawSize = b.Read(s + 16, 4), raw = b.Read(s + 20, 4);
            if (!virtualSize || !address || !rawSize || !raw)
                return std::nullopt;
            uint64_t span = *virtualSize > *rawSize ? *virtualSize : *rawSize;
            if (rva >= *address && rva < *address + span && rva - *address < *rawSize)
                return Place{*raw + (rva - *address), *raw + *rawSize};
        }
        return std::nullopt;
    };
    auto place = toFile(*resourceRva);
    // Windows reads the resource section whole: in a file cut short inside it, it finds no
    // version even where the version's own bytes are there.
    if (!place || place->sectionEnd > b.Size())
        return false;
    const uint64_t root = place->offset;
    // Type 16 (version), name 1 (the one version resource Windows looks up), then the first
    // language.
    auto entryFor = [&](uint64_t directory, std::optional<uint64_t> id) -> std::optional<uint64_t> {
        auto named = b.Read(directory + 12, 2), ids = b.Read(directory + 14, 2);
        if (!named || !ids)
            return std::nullopt;
        for (uint64_t i = 0; i < *named + *ids; ++i) {
            uint64_t entry = directory + 16 + i * 8;
            auto name = b.Read(entry, 4), target = b.Read(entry + 4, 4);
            if (!name || !target)
                return std::nullopt;
            if (!id || (*name == *id))
                return *target;
        }
        return std::nullopt;
    };
    uint64_t directory = root;
    const std::optional<uint64_t> wanted[] = {16, 1, std::nullopt};
    for (int level = 0; level < 3; ++level) {
        auto target = entryFor(directory, wanted[level]);
        if (!target)
            return false;
        bool isDirectory = (*target & 0x80000000u) != 0;
        if ((level < 2) != isDirectory)
            return false;
        uint64_t next = root + (*target & 0x7FFFFFFFu);
        if (level == 2) {
            auto dataRva = b.Read(next, 4), size = b.Read(next + 4, 4);
            auto data = dataRva ? toFile(*dataRva) : std::nullopt;
            if (!data || !size || !b.Has(data->offset, *size))
                return false;
            return VersionFromVersionInfo(b, data->offset, *size, version);
        }
        directory = next;
    }
    return false;
}

} // namespace

bool ParsePeFileVersion(std::string_view file, std::string& version) {
    return ParsePe(Bytes(file), version);
}

bool ParsePeFileVersion(const formats::ByteSource& file, std::string& version) {
    return ParsePe(Bytes(file), version);
}

bool IsPeImage(std::string_view head) {
    const Bytes b(head);
    const std::optional<uint64_t> found = b.Slice(0, 2) == "MZ" ? FindCoffHeader(b) : std::nullopt;
    if (!found)
        return false;
    const uint64_t coff = found.value_or(0);
    auto optionalSize = b.Read(coff + 16, 2), characteristics = b.Read(coff + 18, 2),
         magic = b.Read(coff + 20, 2);
    // Programs and libraries alike are marked executable images; the optional header is that
    // of a 32-bit or a 64-bit image.
    return optionalSize && *optionalSize >= 2 && characteristics && (*characteristics & 0x0002) &&
           magic && (*magic == 0x10b || *magic == 0x20b);
}

} // namespace formats
