// Stub component: appends "name<TAB>command line<TAB>current directory" (on Windows then
// "<TAB>words") to zynStub.log and exits at once, so tests see which component started, how, where.
#include "stub.h"

#include <cstdio>

namespace {

// Components shorter than 50000 bytes count as incomplete; this padding keeps the stub above
// that on every platform, and its nonzero start keeps it in the file rather than in .bss.
constexpr unsigned kPadSize = 64 * 1024;
const unsigned char kPad[kPadSize] = {'z', 'y', 'n', 's', 't', 'u', 'b'};

} // namespace

namespace stub {

std::string JoinWords(int argc, char** argv) {
    std::string words;
    for (int i = 0; i < argc; ++i)
        words += (i > 0 ? "\x1f" : "") + std::string(argv[i]);
    return words;
}

int Log(const std::string& line) {
    std::FILE* log = std::fopen("zynStub.log", "ab");
    if (log == nullptr)
        return 1;
    const bool written = std::fwrite(line.data(), 1, line.size(), log) == line.size();
    const bool closed = std::fclose(log) == 0;
    // Referencing the padding through a volatile read keeps the linker from dropping it.
    volatile const unsigned char* pad = kPad;
    return (written && closed && pad[line.size() % kPadSize] != 0xff) ? 0 : 1;
}

} // namespace stub
