// Version resources on Windows. Implements: the FileVersion text of a file's first translation
// through the system's wide version calls, on the file's full path; PE as the programs' format.
// Leaves out: every other version value.
#include "framework/System.h"

#include "framework/win32/WideText.h"
#include "framework/win32/WinApi.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace sys {

formats::ProgramFormat NativeProgramFormat() {
    return formats::ProgramFormat::Pe;
}

bool ReadFileVersion(const std::string& name, char* buffer, size_t size) {
    // A bare name would be searched for as a library is, the launcher's own folder first: the
    // file meant is the one in the current directory, whatever that folder is called.
    const std::wstring path = FullWidePath(name);
    DWORD ignored = 0;
    const DWORD infoSize = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (infoSize == 0)
        return false;
    std::vector<char> block(infoSize, '\0');
    if (!GetFileVersionInfoW(path.c_str(), 0, infoSize, block.data()))
        return false;
    void* value = nullptr;
    UINT length = 0;
    // A translation value too short for one entry would have us read past it.
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) || !value ||
        length < 2 * sizeof(WORD))
        return false;
    const WORD* translation = static_cast<const WORD*>(value);
    wchar_t key[64];
    std::swprintf(key, 64, L"\\StringFileInfo\\%04X%04X\\FileVersion", translation[0],
                  translation[1]);
    if (!VerQueryValueW(block.data(), key, &value, &length) || !value)
        return false;
    if (size > 0) {
        const std::string text = NarrowAnsi(static_cast<const wchar_t*>(value));
        const size_t copied = std::min(text.size(), size - 1);
        text.copy(buffer, copied);
        buffer[copied] = '\0';
    }
    return true;
}

} // namespace sys
