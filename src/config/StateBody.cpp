// A fetched system state body turned into the text of "zynSystemConfig.txt".
#include "config/StateBody.h"

#include <cstring>

namespace zyn {

bool RewriteStateBody(const std::string& body, std::string& fileText) {
    if (body.compare(0, std::strlen(kStateMarker), kStateMarker) != 0)
        return false;
    std::string text;
    text.reserve(body.size() + body.size() / 16);
    for (char c : body) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    // The marker and the CR LF that its line feed became.
    const size_t markerLine = std::strlen(kStateMarker) + 2;
    fileText = text.size() > markerLine ? text.substr(markerLine) : std::string();
    return true;
}

} // namespace zyn
