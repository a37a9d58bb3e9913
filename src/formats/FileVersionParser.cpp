// Reading the version text out of a program file's bytes, by the kind of file they start as.
#include "formats/FileVersionParser.h"

namespace formats {

bool ParseFileVersion(std::string_view file, std::string& version) {
    if (file.size() >= 2 && file[0] == 'M' && file[1] == 'Z')
        return ParsePeFileVersion(file, version);
    return ParseElfFileVersion(file, version);
}

bool ParseFileVersion(const formats::ByteSource& file, std::string& version) {
    char magic[2];
    if (file.Size() >= 2 && file.ReadAt(0, 2, magic) && magic[0] == 'M' && magic[1] == 'Z')
        return ParsePeFileVersion(file, version);
    return ParseElfFileVersion(file, version);
}

bool IsProgramImage(std::string_view head, ProgramFormat format) {
    return format == ProgramFormat::Pe ? IsPeImage(head) : IsElfImage(head);
}

} // namespace formats
