// PE and ELF version readers. Every offset read from the file is checked against the bytes
// actually there: the files come from downloads and may be cut short or hostile.
#include "FileVersionParser.h"

#include <cstdint>
#include <optional>

namespace {

class Bytes {
  public:
    explicit Bytes(std::string_view data, bool bigEndian = false)
        : m_data(data), m_bigEndian(bigEndian) {}
    size_t Size() const { return m_data.size(); }
    bool Has(uint64_t offset, uint64_t length) const {
        return offset <= m_data.size() && length <= m_data.size() - offset;
    }
    std::optional<uint64_t> Read(uint64_t offset, int width) const {
        if (!Has(offset, static_cast<uint64_t>(width)))
            return std::nullopt;
        uint64_t value = 0;
        for (int i = 0; i < width; ++i) {
            int index = m_bigEndian ? i : width - 1 - i;
            value = (value << 8) | static_cast<unsigned char>(m_data[offset + index]);
        }
        return value;
    }
    std::string_view Slice(uint64_t offset, uint64_t length) const {
        return Has(offset, length) ? m_data.substr(offset, length) : std::string_view();
    }

  private:
    std::string_view m_data;
    bool m_bigEndian;
};

uint64_t Align4(uint64_t v) {
    return (v + 3) & ~uint64_t(3);
}

// ---- PE ----------------------------------------------------------------------------------

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

bool ParsePe(const Bytes& b, std::string& version) {
    auto peOffset = b.Read(0x3C, 4);
    if (!peOffset || b.Slice(*peOffset, 4) != std::string_view("PE\0\0", 4))
        return false;
    uint64_t coff = *peOffset + 4;
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
    auto toFile = [&](uint64_t rva) -> std::optional<uint64_t> {
        for (uint64_t i = 0; i < *sections; ++i) {
            uint64_t s = table + i * 40;
            auto virtualSize = b.Read(s + 8, 4), address = b.Read(s + 12, 4),
                 rawSize = b.Read(s + 16, 4), raw = b.Read(s + 20, 4);
            if (!virtualSize || !address || !rawSize || !raw)
                return std::nullopt;
            uint64_t span = *virtualSize > *rawSize ? *virtualSize : *rawSize;
            if (rva >= *address && rva < *address + span && rva - *address < *rawSize)
                return *raw + (rva - *address);
        }
        return std::nullopt;
    };
    auto root = toFile(*resourceRva);
    if (!root)
        return false;
    // Type 16 (version), then the first name, then the first language.
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
    uint64_t directory = *root;
    std::optional<uint64_t> wanted = 16;
    for (int level = 0; level < 3; ++level) {
        auto target = entryFor(directory, wanted);
        if (!target)
            return false;
        bool isDirectory = (*target & 0x80000000u) != 0;
        if ((level < 2) != isDirectory)
            return false;
        uint64_t next = *root + (*target & 0x7FFFFFFFu);
        if (level == 2) {
            auto dataRva = b.Read(next, 4), size = b.Read(next + 4, 4);
            auto data = dataRva ? toFile(*dataRva) : std::nullopt;
            if (!data || !size || !b.Has(*data, *size))
                return false;
            return VersionFromVersionInfo(b, *data, *size, version);
        }
        directory = next;
        wanted = std::nullopt;
    }
    return false;
}

// ---- ELF ---------------------------------------------------------------------------------

bool VersionFromJson(std::string_view json, std::string& version) {
    size_t key = json.find("\"version\"");
    if (key == std::string_view::npos)
        return false;
    size_t p = key + 9;
    while (p < json.size() && (json[p] == ' ' || json[p] == '\t' || json[p] == ':'))
        ++p;
    if (p >= json.size() || json[p] != '"')
        return false;
    std::string text;
    for (++p; p < json.size(); ++p) {
        if (json[p] == '"') {
            version = text;
            return true;
        }
        if (json[p] == '\\' && p + 1 < json.size())
            ++p;
        text += json[p];
    }
    return false;
}

bool ParseElf(std::string_view file, std::string& version) {
    if (file.size() < 16 || file.substr(0, 4) != "\x7f"
                                                 "ELF")
        return false;
    bool is64 = file[4] == 2;
    Bytes b(file, file[5] == 2);
    int word = is64 ? 8 : 4;
    auto shoff = b.Read(is64 ? 0x28 : 0x20, word);
    auto shentsize = b.Read(is64 ? 0x3A : 0x2E, 2), shnum = b.Read(is64 ? 0x3C : 0x30, 2),
         shstrndx = b.Read(is64 ? 0x3E : 0x32, 2);
    if (!shoff || !shentsize || !shnum || !shstrndx || *shstrndx >= *shnum)
        return false;
    auto sectionField = [&](uint64_t index, int offset64, int offset32, bool wide) {
        uint64_t header = *shoff + index * *shentsize;
        return b.Read(header + (is64 ? offset64 : offset32), wide ? word : 4);
    };
    auto strOffset = sectionField(*shstrndx, 0x18, 0x10, true);
    auto strSize = sectionField(*shstrndx, 0x20, 0x14, true);
    if (!strOffset || !strSize || !b.Has(*strOffset, *strSize))
        return false;
    std::string_view names = b.Slice(*strOffset, *strSize);
    for (uint64_t i = 0; i < *shnum; ++i) {
        auto nameIndex = sectionField(i, 0, 0, false);
        auto offset = sectionField(i, 0x18, 0x10, true), size = sectionField(i, 0x20, 0x14, true);
        if (!nameIndex || !offset || !size || *nameIndex >= names.size())
            return false;
        std::string_view name = names.substr(*nameIndex);
        name = name.substr(0, name.find('\0'));
        if (name != ".note.package" || !b.Has(*offset, *size))
            continue;
        auto nameSize = b.Read(*offset, 4), descSize = b.Read(*offset + 4, 4);
        if (!nameSize || !descSize)
            return false;
        uint64_t desc = *offset + 12 + Align4(*nameSize);
        if (desc > *offset + *size || *descSize > *offset + *size - desc)
            return false;
        std::string_view json = b.Slice(desc, *descSize);
        return VersionFromJson(json.substr(0, json.find('\0')), version);
    }
    return false;
}

} // namespace

bool ParseFileVersion(std::string_view file, std::string& version) {
    if (file.size() >= 2 && file[0] == 'M' && file[1] == 'Z')
        return ParsePe(Bytes(file), version);
    return ParseElf(file, version);
}
