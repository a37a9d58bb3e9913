// The one reader of "key=value" lines.
#include "config/SettingLines.h"

#include "config/TextRules.h"

namespace zyn {

std::vector<SettingLine> ReadSettingLines(std::string_view text, std::string_view lineEnd) {
    std::vector<SettingLine> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(lineEnd, start)) != std::string::npos;
         start = end + lineEnd.size()) {
        const std::string line = TrimWhiteSpace(std::string(text.substr(start, end - start)));
        if (line.empty() || line[0] == '[')
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        lines.push_back({line.substr(0, equals), line.substr(equals + 1)});
    }
    return lines;
}

} // namespace zyn
