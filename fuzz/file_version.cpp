// Fuzzes the version readers (PE and ELF, chosen by the first bytes) and the image checks with
// whole files: a file without a version leaves the text alone, and reading a page at a time, as
// a launch reads an installed program, finds what reading it whole finds.
#include "FuzzCheck.h"
#include "formats/FileVersionParser.h"

#include <cstring>

namespace {
struct Pages : formats::ByteSource {
    explicit Pages(std::string_view data) : data(data) {}
    uint64_t Size() const override { return data.size(); }
    bool ReadAt(uint64_t offset, size_t length, char* out) const override {
        std::memcpy(out, data.data() + offset, length);
        return true;
    }
    std::string_view data;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    formats::IsPeImage(file);
    formats::IsElfImage(file);
    std::string whole = "untouched", paged = "untouched";
    const bool found = formats::ParseFileVersion(file, whole);
    Require(found || whole == "untouched");
    Require(formats::ParseFileVersion(Pages(file), paged) == found && paged == whole);
    return 0;
}
