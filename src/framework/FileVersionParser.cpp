// Reading the version text out of a program file's bytes, by the kind of file they start as.
#include "FileVersionParser.h"

bool ParseFileVersion(std::string_view file, std::string& version) {
    if (file.size() >= 2 && file[0] == 'M' && file[1] == 'Z')
        return ParsePeFileVersion(file, version);
    return ParseElfFileVersion(file, version);
}

bool IsProgramImage(std::string_view head, ProgramFormat format) {
    return format == ProgramFormat::Pe ? IsPeImage(head) : IsElfImage(head);
}
