// The deep resolution exchange: the probe a launch sends, and the answers it takes.
#include "net/DeepAnswer.h"

#include "config/TextRules.h"

#include <vector>

namespace zyn {

namespace {

bool IsDottedIPv4(std::string_view text) {
    int parts = 0;
    while (parts < 4) {
        size_t digits = 0;
        int value = 0;
        for (; digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9';
             ++digits)
            value = value * 10 + (text[digits] - '0');
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        text.remove_prefix(digits);
        if (++parts < 4) {
            if (text.empty() || text.front() != '.')
                return false;
            text.remove_prefix(1);
        }
    }
    return text.empty();
}

} // namespace

bool ParseDeepAnswer(std::string_view datagram, DeepAnswer& answer) {
    std::vector<std::string_view> fields;
    for (size_t semicolon;
         fields.size() < 3 && (semicolon = datagram.find(';')) != std::string_view::npos;) {
        fields.push_back(datagram.substr(0, semicolon));
        datagram.remove_prefix(semicolon + 1);
    }
    if (fields.empty() || fields[0] != kDeepProbe.substr(0, kDeepProbe.size() - 1))
        return false;
    const std::string_view ip = fields.size() > 1 ? fields[1] : std::string_view();
    const int32_t port = fields.size() > 2 ? ParseLeadingInt32(std::string(fields[2])) : 0;
    if ((!ip.empty() && !IsDottedIPv4(ip)) || port < 0 || port > 65535)
        return false;
    answer.ip = ip;
    answer.port = port;
    return true;
}

} // namespace zyn
