// Conversions between the ANSI code page and UTF-16, and full paths built in wide characters:
// an 8-bit full path would lose every character of the folder's name outside the code page.
#include "framework/win32/WideText.h"

#include "framework/win32/WinApi.h"

#include <climits>

std::wstring WidenAnsi(const std::string& text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string NarrowAnsi(const std::wstring& text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::wstring FullWidePath(const std::string& name) {
    const std::wstring wide = WidenAnsi(name);
    std::wstring path(MAX_PATH, L'\0');
    // A path longer than the first guess gets the length the system asked for; the second try
    // fails only if the current directory changed in between.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length =
            GetFullPathNameW(wide.c_str(), static_cast<DWORD>(path.size()), path.data(), nullptr);
        if (length == 0)
            break;
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.assign(length, L'\0');
    }
    return wide;
}
