// Walks a dialog template resource (classic or extended layout) to find the facts the host
// traces. Implements: both template layouts, ordinal and string class names and titles.
// Leaves out: everything not needed for those facts (menus, fonts and sizes are skipped).
#include "framework/win32/DialogResource.h"

#include "framework/win32/WinApi.h"

#include <cstdint>
#include <string>

namespace {

// A cursor over the template's WORD-aligned fields, bounded by the resource size.
class TemplateReader {
  public:
    TemplateReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Ok() const { return m_ok; }
    uint16_t Word() { return static_cast<uint16_t>(Take(2)); }
    uint32_t Dword() { return static_cast<uint32_t>(Take(4)); }
    void Skip(size_t bytes) { m_pos = Fits(bytes) ? m_pos + bytes : m_size; }
    void AlignDword() { Skip((4 - m_pos % 4) % 4); }

    // A class name or title: nothing, an ordinal, or a zero-ended UTF-16 string. Gives the
    // ordinal (0 when none) and the string narrowed to ASCII.
    void SzOrOrd(int& ordinal, std::string& text) {
        ordinal = 0;
        text.clear();
        uint16_t first = Word();
        if (first == 0)
            return;
        if (first == 0xFFFF) {
            ordinal = Word();
            return;
        }
        for (uint16_t c = first; c != 0 && m_ok; c = Word())
            text += c < 0x80 ? static_cast<char>(c) : '?';
    }

  private:
    bool Fits(size_t bytes) const { return m_pos + bytes <= m_size; }
    uint64_t Take(size_t bytes) {
        if (!Fits(bytes)) {
            m_ok = false;
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < bytes; ++i)
            value |= uint64_t(m_data[m_pos + i]) << (8 * i);
        m_pos += bytes;
        return value;
    }
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

constexpr int kStaticClassOrdinal = 0x0082;

bool IsStatic(int classOrdinal, const std::string& className) {
    return classOrdinal == kStaticClassOrdinal || lstrcmpiA(className.c_str(), "Static") == 0;
}

} // namespace

bool ReadDialogResourceFacts(int templateId, DialogResourceFacts& facts) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5));
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return false;
    TemplateReader r(static_cast<const uint8_t*>(data), SizeofResource(module, info));

    bool extended = r.Word() == 1 && r.Word() == 0xFFFF;
    uint32_t style = 0;
    int count = 0;
    if (extended) {
        r.Dword(); // help id
        r.Dword(); // extended style
        style = r.Dword();
    } else {
        r = TemplateReader(static_cast<const uint8_t*>(data), SizeofResource(module, info));
        style = r.Dword();
        r.Dword(); // extended style
    }
    count = r.Word();
    r.Skip(8); // position and size
    int ordinal;
    std::string text;
    r.SzOrOrd(ordinal, text); // menu
    r.SzOrOrd(ordinal, text); // window class
    r.SzOrOrd(ordinal, text); // caption
    if (style & (DS_SETFONT | DS_SHELLFONT)) {
        r.Word(); // point size
        if (extended)
            r.Skip(4); // weight, italic, character set
        r.SzOrOrd(ordinal, text);
    }

    for (int i = 0; i < count && r.Ok(); ++i) {
        r.AlignDword();
        uint32_t itemStyle;
        int id;
        if (extended) {
            r.Dword(); // help id
            r.Dword(); // extended style
            itemStyle = r.Dword();
            r.Skip(8);
            id = static_cast<int>(r.Dword());
        } else {
            itemStyle = r.Dword();
            r.Dword();
            r.Skip(8);
            id = r.Word();
        }
        int classOrdinal, titleOrdinal;
        std::string className, title;
        r.SzOrOrd(classOrdinal, className);
        r.SzOrOrd(titleOrdinal, title);
        r.Skip(r.Word()); // creation data
        if (!r.Ok() || !IsStatic(classOrdinal, className))
            continue;
        bool picture = (itemStyle & SS_TYPEMASK) == SS_BITMAP;
        if (picture && facts.initialBitmapId == 0)
            facts.initialBitmapId = titleOrdinal;
        if (!picture && facts.statusControlId == 0)
            facts.statusControlId = id;
    }
    return r.Ok();
}
