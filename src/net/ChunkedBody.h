// The chunked transfer coding undone: chunk sizes, extensions and trailers are read and dropped,
// the chunks' data handed on as it arrives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zyn {

class ChunkedBody {
  public:
    enum class Result { More, Done, Bad };

    // Takes what it can from the front of `block`, appending the data it holds to `pieces`
    // (views into `block`). Done at the end of the trailer, with `block` left at whatever
    // follows; Bad on anything that is not chunked coding.
    Result Read(std::string_view& block, std::vector<std::string_view>& pieces);

  private:
    enum class Part { Size, Data, DataEnd, Trailer };
    // Gathers one line across blocks; true once it is whole (its CR LF or LF removed).
    bool ReadLine(std::string_view& block, size_t limit, bool& tooLong);
    bool ParseSize(const std::string& line);

    Part m_part = Part::Size;
    uint64_t m_remaining = 0;
    std::string m_line;
    size_t m_trailerBytes = 0;
};

} // namespace zyn
