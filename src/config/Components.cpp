// How an installed component's version text is compared with the listed one.
#include "config/Components.h"

namespace zyn {

std::string NormaliseVersion(const std::string& version) {
    std::string text = version;
    for (char& c : text)
        if (c == ',')
            c = '.';
    const char* const whiteSpace = " \t\n\v\f\r";
    const size_t first = text.find_first_not_of(whiteSpace);
    if (first == std::string::npos)
        return std::string();
    text = text.substr(first, text.find_last_not_of(whiteSpace) - first + 1);
    // Only blanks go from the inside: "7, 0, 2, 5" is written so by the resource compiler.
    std::string normalised;
    for (char c : text)
        if (c != ' ')
            normalised += c;
    return normalised;
}

} // namespace zyn
