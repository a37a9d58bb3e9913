// Command-line splitting as the Microsoft C runtime of 2008 and later does it.
#include "formats/CommandLine.h"

namespace formats {

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
} // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    size_t i = 0, n = commandLine.size();

    // The program name: a quoted part runs to the next quote, backslashes are path separators.
    std::string program;
    bool inQuotes = false;
    while (i < n && (inQuotes || !IsBlank(commandLine[i]))) {
        if (commandLine[i] == '"')
            inQuotes = !inQuotes;
        else
            program += commandLine[i];
        ++i;
    }
    if (n == 0)
        return words;
    words.push_back(program);

    for (;;) {
        while (i < n && IsBlank(commandLine[i]))
            ++i;
        if (i >= n)
            return words;
        std::string word;
        inQuotes = false;
        while (i < n && (inQuotes || !IsBlank(commandLine[i]))) {
            size_t backslashes = 0;
            while (i < n && commandLine[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < n && commandLine[i] == '"') {
                // 2n backslashes + quote: n backslashes, the quote toggles grouping;
                // 2n+1 backslashes + quote: n backslashes and a literal quote.
                word.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    word += '"';
                } else if (inQuotes && i + 1 < n && commandLine[i + 1] == '"') {
                    // "" inside quotes: a literal quote, still grouped (the 2008+ rule).
                    word += '"';
                    ++i;
                } else {
                    inQuotes = !inQuotes;
                }
                ++i;
            } else {
                word.append(backslashes, '\\');
                if (i < n && (inQuotes || !IsBlank(commandLine[i])))
                    word += commandLine[i++];
            }
        }
        words.push_back(word);
    }
}

} // namespace formats
