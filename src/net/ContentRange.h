// The Content-Range of a reply that continues a file: "bytes FIRST-LAST/TOTAL".
#pragma once

#include <cstdint>
#include <string_view>

namespace zyn {

// The whole file's length that a 206 reply to "Range: bytes=`from`-" announces in its
// Content-Range `value`. False unless the part runs from `from` up to the file's last byte and
// the total is given: a part that starts elsewhere, stops short, or belongs to a file of unknown
// length cannot continue the bytes already there.
bool ReadResumedRange(std::string_view value, uint64_t from, uint64_t& total);

} // namespace zyn
