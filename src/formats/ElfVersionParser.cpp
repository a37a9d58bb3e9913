// The ELF reader: the version of a native program's package metadata note, a JSON object in
// the ".note.package" section. Every offset and length read from the file is checked.
#include "formats/FileVersionParser.h"

#include "formats/FileBytes.h"

#include <optional>
#include <string>

namespace formats {

using formats::Align4;
using formats::Bytes;

namespace {

// Just enough JSON for the package note: the members of the top-level object, every other
// value skipped exactly (nested objects and arrays, strings with escapes, numbers, literals),
// so that a "version" inside a nested object or inside a string is never taken.
class JsonReader {
  public:
    explicit JsonReader(std::string_view text) : m_text(text) {}

    // The top-level object's first "version" member, when it is a string; false when the text
    // is not exactly one object.
    bool TopLevelVersion(std::string& version) {
        std::optional<std::string> found;
        bool seen = false;
        SkipSpace();
        if (!Take('{'))
            return false;
        SkipSpace();
        if (!Take('}')) {
            do {
                std::string key;
                SkipSpace();
                if (!String(&key))
                    return false;
                SkipSpace();
                if (!Take(':'))
                    return false;
                SkipSpace();
                if (key == "version" && !seen) {
                    seen = true;
                    if (Peek() == '"') {
                        found.emplace();
                        if (!String(&*found))
                            return false;
                    } else if (!Value(1)) {
                        return false;
                    }
                } else if (!Value(1)) {
                    return false;
                }
                SkipSpace();
            } while (Take(','));
            if (!Take('}'))
                return false;
        }
        SkipSpace();
        if (m_pos != m_text.size() || !found)
            return false;
        version = *found;
        return true;
    }

  private:
    // Deeper nesting than any note needs is refused rather than followed.
    static constexpr int kMaxDepth = 32;

    int Peek() const {
        return m_pos < m_text.size() ? static_cast<unsigned char>(m_text[m_pos]) : -1;
    }
    bool Take(char c) {
        if (Peek() != static_cast<unsigned char>(c))
            return false;
        ++m_pos;
        return true;
    }
    void SkipSpace() {
        while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')
            ++m_pos;
    }
    std::optional<unsigned> Hex4() {
        if (m_text.size() - m_pos < 4)
            return std::nullopt;
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_pos++];
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                value |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                value |= static_cast<unsigned>(c - 'A' + 10);
            else
                return std::nullopt;
        }
        return value;
    }
    // A string, decoded into `out` when given. Characters beyond ASCII become '?', one for each
    // character, as the PE reader does with UTF-16 text.
    bool String(std::string* out) {
        if (!Take('"'))
            return false;
        std::string text;
        for (;;) {
            const int c = Peek();
            if (c < 0x20) // the end, or a control character that JSON wants escaped
                return false;
            ++m_pos;
            if (c == '"')
                break;
            if (c >= 0x80) {
                if (c >= 0xC0) // a UTF-8 lead byte; continuation bytes add nothing
                    text += '?';
                continue;
            }
            if (c != '\\') {
                text += static_cast<char>(c);
                continue;
            }
            const int escape = Peek();
            ++m_pos;
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                text += static_cast<char>(escape);
                break;
            case 'b':
                text += '\b';
                break;
            case 'f':
                text += '\f';
                break;
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            case 't':
                text += '\t';
                break;
            case 'u': {
                const std::optional<unsigned> unit = Hex4();
                if (!unit)
                    return false;
                // A surrogate pair is one character.
                if (*unit >= 0xD800 && *unit < 0xDC00 && m_text.substr(m_pos, 2) == "\\u") {
                    const size_t pair = m_pos;
                    m_pos += 2;
                    const std::optional<unsigned> low = Hex4();
                    if (!low || *low < 0xDC00 || *low >= 0xE000)
                        m_pos = pair;
                }
                text += *unit < 0x80 ? static_cast<char>(*unit) : '?';
                break;
            }
            default:
                return false;
            }
        }
        if (out)
            *out = std::move(text);
        return true;
    }
    bool Literal(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word)
            return false;
        m_pos += word.size();
        return true;
    }
    bool Digits() {
        const size_t start = m_pos;
        while (Peek() >= '0' && Peek() <= '9')
            ++m_pos;
        return m_pos > start;
    }
    bool Number() {
        Take('-');
        if (!Take('0') && !Digits())
            return false;
        if (Take('.') && !Digits())
            return false;
        if (Take('e') || Take('E')) {
            if (!Take('+'))
                Take('-');
            if (!Digits())
                return false;
        }
        return true;
    }
    // Any value, skipped.
    bool Value(int depth) {
        if (depth > kMaxDepth)
            return false;
        const int c = Peek();
        if (c == '"')
            return String(nullptr);
        if (c == 't')
            return Literal("true");
        if (c == 'f')
            return Literal("false");
        if (c == 'n')
            return Literal("null");
        if (c != '{' && c != '[')
            return Number();
        const char close = c == '{' ? '}' : ']';
        ++m_pos;
        SkipSpace();
        if (Take(close))
            return true;
        do {
            SkipSpace();
            if (close == '}') {
                if (!String(nullptr))
                    return false;
                SkipSpace();
                if (!Take(':'))
                    return false;
                SkipSpace();
            }
            if (!Value(depth + 1))
                return false;
            SkipSpace();
        } while (Take(','));
        return Take(close);
    }

    std::string_view m_text;
    size_t m_pos = 0;
};

bool HasElfIdent(std::string_view file) {
    return file.size() >= 16 && file.substr(0, 4) == "\x7f"
                                                     "ELF";
}

bool ParseElf(const Bytes& file, std::string& version) {
    const std::string ident = file.Slice(0, 16);
    if (!HasElfIdent(ident))
        return false;
    bool is64 = ident[4] == 2;
    const Bytes b = file.WithByteOrder(ident[5] == 2);
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
    if (!strOffset || !strSize)
        return false;
    const std::string names = b.Slice(*strOffset, *strSize);
    if (names.size() != *strSize)
        return false;
    for (uint64_t i = 0; i < *shnum; ++i) {
        auto nameIndex = sectionField(i, 0, 0, false);
        auto offset = sectionField(i, 0x18, 0x10, true), size = sectionField(i, 0x20, 0x14, true);
        if (!nameIndex || !offset || !size || *nameIndex >= names.size())
            return false;
        std::string_view name = std::string_view(names).substr(*nameIndex);
        name = name.substr(0, name.find('\0'));
        if (name != ".note.package" || !b.Has(*offset, *size))
            continue;
        auto nameSize = b.Read(*offset, 4), descSize = b.Read(*offset + 4, 4);
        if (!nameSize || !descSize)
            return false;
        uint64_t desc = *offset + 12 + Align4(*nameSize);
        if (desc > *offset + *size || *descSize > *offset + *size - desc)
            return false;
        const std::string json = b.Slice(desc, *descSize);
        if (json.size() != *descSize)
            return false;
        return JsonReader(std::string_view(json).substr(0, json.find('\0')))
            .TopLevelVersion(version);
    }
    return false;
}

} // namespace

bool ParseElfFileVersion(std::string_view file, std::string& version) {
    return ParseElf(Bytes(file), version);
}

bool ParseElfFileVersion(const formats::ByteSource& file, std::string& version) {
    return ParseElf(Bytes(file), version);
}

bool IsElfImage(std::string_view head) {
    if (!HasElfIdent(head))
        return false;
    // A 32-bit or 64-bit class, either byte order, the one version there is, and an executable
    // or a shared object (position-independent programs are the latter).
    const auto type = Bytes(head, head[5] == 2).Read(16, 2);
    return (head[4] == 1 || head[4] == 2) && (head[5] == 1 || head[5] == 2) && head[6] == 1 &&
           type && (*type == 2 || *type == 3);
}

} // namespace formats
