// Bounds-checked reads of numbers out of a file's bytes, shared by the version readers: every
// read says whether the bytes are there, so offsets taken from a file are never trusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace fileparse {

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

inline uint64_t Align4(uint64_t v) {
    return (v + 3) & ~uint64_t(3);
}

} // namespace fileparse
