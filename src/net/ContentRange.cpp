// What lets kept bytes be continued: the Content-Range, the validator.
#include "net/ContentRange.h"

#include "formats/AsciiCase.h"

#include <algorithm>

namespace zyn {

namespace {

// Leading decimal digits, few enough that the value stays far below 2^63; false for none.
bool TakeNumber(std::string_view& text, uint64_t& value) {
    size_t digits = 0;
    value = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        if (++digits > 18)
            return false;
        value = value * 10 + static_cast<uint64_t>(text[digits - 1] - '0');
    }
    text.remove_prefix(digits);
    return digits > 0;
}

bool TakeChar(std::string_view& text, char c) {
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

bool TakeUnit(std::string_view& text) {
    const std::string_view unit = "bytes ";
    if (!formats::EqualsNoCase(text.substr(0, unit.size()), unit))
        return false;
    text.remove_prefix(unit.size());
    return true;
}

constexpr size_t kValidatorLimit = 256;

} // namespace

bool ReadResumedRange(std::string_view value, uint64_t from, uint64_t& total) {
    uint64_t first = 0, last = 0, length = 0;
    if (!TakeUnit(value) || !TakeNumber(value, first) || !TakeChar(value, '-') ||
        !TakeNumber(value, last) || !TakeChar(value, '/') || !TakeNumber(value, length) ||
        !value.empty())
        return false;
    if (first != from || last < first || last + 1 != length)
        return false;
    total = length;
    return true;
}

bool IsUsableValidator(std::string_view validator) {
    return !validator.empty() && validator.size() <= kValidatorLimit &&
           std::none_of(validator.begin(), validator.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

std::string ReplyValidator(const HttpReplyReader& reply) {
    std::string value;
    // A weak tag ("W/...") may stand for other bytes, and If-Range takes only a strong one, in
    // quotes; an unquoted one would be read as a date.
    if (reply.FindHeader("ETag", value) && value.size() >= 2 && value.front() == '"' &&
        value.back() == '"' && IsUsableValidator(value))
        return value;
    if (reply.FindHeader("Last-Modified", value) && IsUsableValidator(value))
        return value;
    return {};
}

} // namespace zyn
