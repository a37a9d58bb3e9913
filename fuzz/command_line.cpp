// Fuzzes the splitting of a Windows-style command line and the run mode of its first argument.
// The input is split as it stands, and also taken as words (apart by zero bytes) quoted as a
// Windows program quotes its arguments: splitting that line must give the same words back.
#include "FuzzCheck.h"
#include "app/RunMode.h"
#include "formats/CommandLine.h"

namespace {

// The usual quoting for the C runtime's rules: backslashes are doubled only before a quote.
std::string QuoteArgument(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos)
        return word;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    return quoted.append(2 * backslashes, '\\') + '"';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = InputText(data, size);
    const std::vector<std::string> split = formats::SplitCommandLine(input);
    if (!split.empty())
        Require(split[0].find('"') == std::string::npos);
    if (split.size() > 1)
        zyn::ParseRunMode(split[1]);

    std::vector<std::string> words = Fields(input, '\0', SIZE_MAX);
    // The program's name can hold no quote: quotes only group there.
    std::erase(words[0], '"');
    std::string line = words[0].find_first_of(" \t") != std::string::npos || words[0].empty()
                           ? '"' + words[0] + '"'
                           : words[0];
    for (size_t i = 1; i < words.size(); ++i)
        line += ' ' + QuoteArgument(words[i]);
    Require(formats::SplitCommandLine(line) == words);
    return 0;
}
