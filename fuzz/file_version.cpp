// Fuzzes the version readers (PE and ELF, chosen by the first bytes) with whole files. Besides
// memory faults it checks that a file without a version leaves the text alone, and that reading
// a page at a time, as a launch reads an installed program, finds what reading it whole finds;
// the image checks read the same bytes.
#include "FuzzCheck.h"
#include "formats/FileVersionParser.h"

#include <cstring>

namespace {
class Pages : public formats::ByteSource {
  public:
    explicit Pages(std::string_view data) : m_data(data) {}
    uint64_t Size() const override { return m_data.size(); }
    bool ReadAt(uint64_t offset, size_t length, char* out) const override {
        std::memcpy(out, m_data.data() + offset, length);
        return true;
    }

  private:
    std::string_view m_data;
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
