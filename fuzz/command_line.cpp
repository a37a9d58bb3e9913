// Fuzzes the splitting of a Windows-style command line, and the run mode taken from its first
// argument. The input is split as it stands, and it is also taken as words (separated by zero
// bytes) that are quoted the way a Windows program quotes its arguments: splitting that line
// must give the same words back, so any value that is quoted reaches the child whole.
#include "FuzzCheck.h"
#include "app/RunMode.h"
#include "formats/CommandLine.h"

#include <vector>

namespace {

bool NeedsQuotes(const std::string& word) {
    return word.empty() || word.find_first_of(" \t\"") != std::string::npos;
}

// The usual quoting for the C runtime's rules: backslashes are doubled only before a quote.
std::string QuoteArgument(const std::string& word) {
    if (!NeedsQuotes(word))
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
    quoted.append(2 * backslashes, '\\');
    return quoted + '"';
}

std::vector<std::string> WordsOf(const std::string& input) {
    std::vector<std::string> words(1);
    for (char c : input) {
        if (c == '\0')
            words.emplace_back();
        else
            words.back() += c;
    }
    // The program's name can hold no quote: quotes only group there.
    std::erase(words[0], '"');
    return words;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = InputText(data, size);
    const std::vector<std::string> split = formats::SplitCommandLine(input);
    if (!split.empty())
        Require(split[0].find('"') == std::string::npos);
    if (split.size() > 1)
        zyn::ParseRunMode(split[1]);

    const std::vector<std::string> words = WordsOf(input);
    std::string line = words[0].find_first_of(" \t") != std::string::npos || words[0].empty()
                           ? '"' + words[0] + '"'
                           : words[0];
    for (size_t i = 1; i < words.size(); ++i)
        line += ' ' + QuoteArgument(words[i]);
    Require(formats::SplitCommandLine(line) == words);
    return 0;
}
