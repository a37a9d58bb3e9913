// Fuzzes the PE version reader with whole files. Besides memory faults it checks the reader's
// promise that a file without a version leaves the text alone; the image check reads the
// same bytes.
#include "FileVersionParser.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IsPeImage(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string version = "untouched";
    if (!ParsePeFileVersion(std::string_view(reinterpret_cast<const char*>(data), size), version) &&
        version != "untouched")
        __builtin_trap();
    return 0;
}
