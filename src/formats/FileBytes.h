// Bounds-checked reads of numbers out of a file's bytes, for the version readers: offsets taken
// from a file are never trusted, and a file is read a page at a time, so that a reader costs
// what it reads, not what the file holds.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace formats {

// Where the bytes come from.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Exactly `length` bytes from `offset` on (within Size()); false when they cannot be read.
    virtual bool ReadAt(uint64_t offset, size_t length, char* out) const = 0;
};

class Bytes {
  public:
    // No reader takes a block longer than this in one piece.
    static constexpr uint64_t kSliceLimit = 1 << 20;

    explicit Bytes(std::string_view data, bool bigEndian = false)
        : m_data(data), m_size(data.size()), m_bigEndian(bigEndian) {}
    explicit Bytes(const ByteSource& source, bool bigEndian = false)
        : m_source(&source), m_size(source.Size()), m_bigEndian(bigEndian) {}
    // The same bytes, numbers read in the other byte order.
    Bytes WithByteOrder(bool bigEndian) const {
        Bytes copy = *this;
        copy.m_bigEndian = bigEndian;
        return copy;
    }

    uint64_t Size() const { return m_size; }
    bool Has(uint64_t offset, uint64_t length) const {
        return offset <= m_size && length <= m_size - offset;
    }
    std::optional<uint64_t> Read(uint64_t offset, int width) const {
        char raw[8];
        if (width < 1 || width > 8 || !Copy(offset, static_cast<size_t>(width), raw))
            return std::nullopt;
        uint64_t value = 0;
        for (int i = 0; i < width; ++i) {
            int index = m_bigEndian ? i : width - 1 - i;
            value = (value << 8) | static_cast<unsigned char>(raw[index]);
        }
        return value;
    }
    // A copy of the bytes; empty when they are not all there or longer than kSliceLimit.
    std::string Slice(uint64_t offset, uint64_t length) const {
        std::string out;
        if (length > kSliceLimit || !Has(offset, length))
            return out;
        out.resize(static_cast<size_t>(length));
        if (!Copy(offset, out.size(), out.data()))
            out.clear();
        return out;
    }

  private:
    static constexpr size_t kPageSize = 4096;
    static constexpr size_t kPages = 8;
    struct Page {
        uint64_t index = UINT64_MAX;
        std::array<char, kPageSize> bytes;
    };

    bool Copy(uint64_t offset, size_t length, char* out) const {
        if (!Has(offset, length))
            return false;
        if (!m_source) {
            std::memcpy(out, m_data.data() + offset, length);
            return true;
        }
        while (length > 0) {
            const Page* page = Load(offset / kPageSize);
            if (!page)
                return false;
            const size_t at = static_cast<size_t>(offset % kPageSize);
            const size_t take = std::min(length, kPageSize - at);
            std::memcpy(out, page->bytes.data() + at, take);
            out += take;
            offset += take;
            length -= take;
        }
        return true;
    }
    const Page* Load(uint64_t index) const {
        Page& page = m_pages[index % kPages];
        if (page.index == index)
            return &page;
        const uint64_t start = index * kPageSize;
        const size_t length = static_cast<size_t>(std::min<uint64_t>(kPageSize, m_size - start));
        page.index = UINT64_MAX;
        if (!m_source->ReadAt(start, length, page.bytes.data()))
            return nullptr;
        page.index = index;
        return &page;
    }

    std::string_view m_data;
    const ByteSource* m_source = nullptr;
    uint64_t m_size;
    bool m_bigEndian;
    mutable std::array<Page, kPages> m_pages{};
};

inline uint64_t Align4(uint64_t v) {
    return (v + 3) & ~uint64_t(3);
}

} // namespace formats
