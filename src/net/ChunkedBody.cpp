// The chunked transfer coding undone.
#include "net/ChunkedBody.h"

#include "formats/AsciiCase.h"

#include <algorithm>

namespace zyn {

namespace {
// A size line is a few hex digits and rarely an extension; trailers are bounded like a header.
constexpr size_t kSizeLineLimit = 4096;
constexpr size_t kTrailerLimit = 64 * 1024;
} // namespace

bool ChunkedBody::ReadLine(std::string_view& block, size_t limit, bool& tooLong) {
    const size_t lf = block.find('\n');
    const size_t take = lf == std::string_view::npos ? block.size() : lf + 1;
    // The line's text may be `limit` bytes long, plus its CR LF.
    m_line.append(block.substr(0, std::min(take, limit + 3)));
    block.remove_prefix(take);
    if (m_line.size() > limit + 2) {
        tooLong = true;
        return false;
    }
    if (lf == std::string_view::npos)
        return false;
    m_line.pop_back();
    if (!m_line.empty() && m_line.back() == '\r')
        m_line.pop_back();
    return true;
}

bool ChunkedBody::ParseSize(const std::string& line) {
    size_t i = 0;
    uint64_t size = 0;
    // Fifteen hex digits already exceed any real body and keep the value far from overflow.
    for (; i < line.size() && formats::HexDigitValue(line[i]) >= 0; ++i) {
        if (i == 15)
            return false;
        size = size * 16 + static_cast<uint64_t>(formats::HexDigitValue(line[i]));
    }
    if (i == 0)
        return false;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    if (i < line.size() && line[i] != ';')
        return false;
    m_remaining = size;
    return true;
}

ChunkedBody::Result ChunkedBody::Read(std::string_view& block,
                                      std::vector<std::string_view>& pieces) {
    bool tooLong = false;
    while (!block.empty()) {
        switch (m_part) {
        case Part::Size:
            if (!ReadLine(block, kSizeLineLimit, tooLong))
                break;
            if (!ParseSize(m_line))
                return Result::Bad;
            m_part = m_remaining ? Part::Data : Part::Trailer;
            m_line.clear();
            break;
        case Part::Data: {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(m_remaining, block.size()));
            pieces.push_back(block.substr(0, take));
            block.remove_prefix(take);
            m_remaining -= take;
            if (!m_remaining)
                m_part = Part::DataEnd;
            break;
        }
        case Part::DataEnd:
            if (!ReadLine(block, 0, tooLong))
                break;
            if (!m_line.empty())
                return Result::Bad;
            m_part = Part::Size;
            m_line.clear();
            break;
        case Part::Trailer:
            if (!ReadLine(block, kTrailerLimit, tooLong))
                break;
            if (m_line.empty())
                return Result::Done;
            m_trailerBytes += m_line.size() + 2;
            if (m_trailerBytes > kTrailerLimit)
                return Result::Bad;
            m_line.clear();
            break;
        }
        if (tooLong)
            return Result::Bad;
    }
    return Result::More;
}

} // namespace zyn
