// What lets kept bytes be continued: the Content-Range of a reply that continues a file
// ("bytes FIRST-LAST/TOTAL"), and the validator that names the file's version.
#pragma once

#include "net/HttpReplyReader.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zyn {

// The whole file's length that a 206 reply to "Range: bytes=`from`-" announces in its
// Content-Range `value`. False unless the part runs from `from` up to the file's last byte and
// the total is given: a part that starts elsewhere, stops short, or belongs to a file of unknown
// length cannot continue the bytes already there.
bool ReadResumedRange(std::string_view value, uint64_t from, uint64_t& total);

// The validator that a 2xx reply gives its body, to be sent back with the request for the rest
// ("If-Range"), so that only the same version of the file is continued: a strong entity tag,
// else the Last-Modified date. Empty when the reply gives none that is fit to be sent back.
std::string ReplyValidator(const HttpReplyReader& reply);
// A validator fit for a request header: at most 256 bytes, none a control byte.
bool IsUsableValidator(std::string_view validator);

} // namespace zyn
