// The folder lock on Windows. Implements: a global mutex named by the digest of the folder's
// upper-cased full wide path, released by the system at any end of its holder; the holder's
// window marked with that name, brought to the front by a second launcher. Leaves out: the note.
#include "framework/FolderLock.h"

#include "framework/Crypto.h"
#include "framework/win32/WideText.h"
#include "framework/win32/Win32FolderLock.h"

namespace {

// The name of the lock this process holds, empty while it holds none.
std::wstring g_heldName;

std::wstring LockName() {
    std::wstring folder = FullWidePath(".");
    // "PROGRA~1" and "Program Files" are one folder.
    std::wstring longer(32768, L'\0');
    const DWORD length =
        GetLongPathNameW(folder.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    if (length > 0 && length < longer.size())
        folder = longer.substr(0, length);
    CharUpperBuffW(folder.data(), static_cast<DWORD>(folder.size()));
    sys::Sha256 hash;
    hash.Update(folder.data(), folder.size() * sizeof(wchar_t));
    sys::Sha256Digest digest;
    if (!hash.Final(digest))
        return {};
    std::wstring name = L"Global\\zynLaunch.folder.";
    for (uint8_t byte : digest) {
        name += L"0123456789abcdef"[byte >> 4];
        name += L"0123456789abcdef"[byte & 15];
    }
    return name;
}

struct HolderSearch {
    const wchar_t* mark;
    HWND found;
};

BOOL CALLBACK MatchHolder(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<HolderSearch*>(lParam);
    if (!GetPropW(window, search->mark))
        return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

void MarkFolderLockWindow(HWND window) {
    if (!g_heldName.empty())
        SetPropW(window, g_heldName.c_str(), reinterpret_cast<HANDLE>(1));
}

void UnmarkFolderLockWindow(HWND window) {
    if (!g_heldName.empty())
        RemovePropW(window, g_heldName.c_str());
}

namespace sys {

FolderLock::~FolderLock() {
    if (m_handle == -1)
        return;
    ReleaseMutex(reinterpret_cast<HANDLE>(m_handle));
    CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    g_heldName.clear();
}

bool FolderLock::Take(unsigned waitMs) {
    const std::wstring name = LockName();
    if (name.empty())
        return true;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    // Another user's launcher in the folder made it, and it is not ours to wait on.
    if (!mutex)
        return GetLastError() != ERROR_ACCESS_DENIED;
    const DWORD waited = WaitForSingleObject(mutex, waitMs);
    // Abandoned: its holder ended without letting go, and the mutex is ours now all the same.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return waited != WAIT_TIMEOUT;
    }
    m_handle = reinterpret_cast<intptr_t>(mutex);
    g_heldName = name;
    return true;
}

void ShowFolderLockHolder(const std::string&) {
    const std::wstring mark = LockName();
    if (mark.empty())
        return;
    // The holder takes the lock before its window opens, so a launcher started just after it
    // may look before there is a window to find.
    for (int attempt = 0; attempt < 50; ++attempt) {
        HolderSearch search = {mark.c_str(), nullptr};
        EnumWindows(MatchHolder, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            if (IsIconic(search.found))
                ShowWindow(search.found, SW_RESTORE);
            // A message box that the holder shows belongs in front of its window.
            SetForegroundWindow(GetLastActivePopup(search.found));
            return;
        }
        Sleep(100);
    }
}

} // namespace sys
