// Version resources on Windows. Implements: the FileVersion text of a file's first translation
// through the system's version calls; PE as the programs' format. Leaves out: every other
// version value.
#include "System.h"

#include "WinApi.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

namespace sys {

ProgramFormat NativeProgramFormat() {
    return ProgramFormat::Pe;
}

bool ReadFileVersion(const std::string& name, char* buffer, size_t size) {
    DWORD ignored = 0;
    const DWORD infoSize = GetFileVersionInfoSizeA(name.c_str(), &ignored);
    if (infoSize == 0)
        return false;
    std::vector<char> block(infoSize, '\0');
    if (!GetFileVersionInfoA(name.c_str(), 0, infoSize, block.data()))
        return false;
    void* value = nullptr;
    UINT length = 0;
    // A translation value too short for one entry would have us read past it.
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) || !value ||
        length < 2 * sizeof(WORD))
        return false;
    const WORD* translation = static_cast<const WORD*>(value);
    char path[64];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04X%04X\\FileVersion", translation[0],
                  translation[1]);
    if (!VerQueryValueA(block.data(), path, &value, &length) || !value)
        return false;
    lstrcpynA(buffer, static_cast<const char*>(value),
              static_cast<int>(std::min<size_t>(size, INT_MAX)));
    return true;
}

} // namespace sys
