// Stub component: appends "name<TAB>command line<TAB>current directory" (on Windows then
// "<TAB>words") to zynStub.log and exits at once, so tests can see which component was
// started, how and where.
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
    for (int i = 0; i < argc; ++i) {
        if (i > 0) {
            words += '\x1f';
        }
        words += argv[i];
    }
    return words;
}

int Run(int argc, char** argv) {
    std::string line = ProgramName() + '\t' + CommandLine(argc, argv) + '\t' + CurrentDirectory() +
                       MoreFields(argc, argv) + '\n';
    std::FILE* log = std::fopen("zynStub.log", "ab");
    if (log == nullptr) {
        return 1;
    }
    const bool written = std::fwrite(line.data(), 1, line.size(), log) == line.size();
    const bool closed = std::fclose(log) == 0;
    // Referencing the padding through a volatile read keeps the linker from dropping it.
    volatile const unsigned char* pad = kPad;
    return (written && closed && pad[static_cast<unsigned>(argc) % kPadSize] != 0xff) ? 0 : 1;
}

} // namespace stub
