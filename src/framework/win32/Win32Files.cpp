// Files by name on Windows: reads that share with other readers only, the file writer
// (FlushFileBuffers, then MoveFileExA with write-through), copies. Leaves out: permissions,
// as Windows knows a program by its extension.
#include "framework/System.h"

#include "framework/win32/WinApi.h"

#include <algorithm>

namespace sys {

namespace {

// Closes a file handle when it goes out of scope.
class Handle {
  public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle() {
        if (IsValid())
            CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE Get() const { return m_handle; }

  private:
    HANDLE m_handle;
};

// Readers share with readers: a running program keeps its own file open for reading, and a
// scanner reads a file just written; a file that someone still writes does not open.
HANDLE OpenForReading(const std::string& name) {
    return CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads and writes go in pieces that a DWORD can count.
DWORD Piece(size_t remaining) {
    return static_cast<DWORD>(std::min<size_t>(remaining, 1u << 30));
}

// True when `name` is the file open as `file` (the same name, or a hard link to it).
bool IsSameFile(HANDLE file, const std::string& name) {
    Handle other(CreateFileA(name.c_str(), 0,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION a, b;
    return other.IsValid() && GetFileInformationByHandle(file, &a) &&
           GetFileInformationByHandle(other.Get(), &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

HANDLE AsHandle(intptr_t file) {
    return reinterpret_cast<HANDLE>(file);
}

} // namespace

bool ReadWholeFile(const std::string& name, std::string& contents) {
    Handle file(OpenForReading(name));
    LARGE_INTEGER size;
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size))
        return false;
    std::string data(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < data.size()) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), data.data() + done, Piece(data.size() - done), &read, nullptr))
            return false;
        if (read == 0)
            break; // shrank meanwhile
        done += read;
    }
    data.resize(done);
    contents = std::move(data);
    return true;
}

bool CanOpenForReading(const std::string& name) {
    return Handle(OpenForReading(name)).IsValid();
}

bool GetOpenableFileSize(const std::string& name, uint64_t& size) {
    Handle file(OpenForReading(name));
    LARGE_INTEGER length;
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &length))
        return false;
    size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

bool DeleteFile(const std::string& name) {
    return DeleteFileA(name.c_str()) != 0;
}

bool SameFileName(std::string_view a, std::string_view b) {
    // As the file system compares them: ordinally, letter case folded, on the UTF-16 names.
    const auto wide = [](std::string_view text) {
        std::wstring out(text.size(), L'\0');
        const int length =
            MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                static_cast<int>(out.size()));
        out.resize(length > 0 ? static_cast<size_t>(length) : 0);
        return out;
    };
    if (a.empty() || b.empty())
        return a.empty() && b.empty();
    const std::wstring wa = wide(a), wb = wide(b);
    return CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(),
                                static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

intptr_t FileWriter::CreateFresh(const std::string& name, Kind) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<intptr_t>(file);
}

intptr_t FileWriter::OpenExisting(const std::string& name, Kind) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return kNoFile;
    // A device answers to some names; only a file on disk is taken up.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return kNoFile;
    }
    return reinterpret_cast<intptr_t>(file);
}

bool FileWriter::ReadBlock(intptr_t file, char* data, size_t size, size_t& got) {
    DWORD read = 0;
    const bool ok = ReadFile(AsHandle(file), data, Piece(size), &read, nullptr) != 0;
    got = ok ? read : 0;
    return ok;
}

bool FileWriter::SeekToEnd(intptr_t file, uint64_t& size) {
    LARGE_INTEGER end;
    end.QuadPart = 0;
    if (!SetFilePointerEx(AsHandle(file), end, &end, FILE_END))
        return false;
    size = static_cast<uint64_t>(end.QuadPart);
    return true;
}

bool FileWriter::WriteBlock(intptr_t file, const char* data, size_t size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(AsHandle(file), data, Piece(size), &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

bool FileWriter::FlushAndClose(intptr_t file) {
    const bool flushed = FlushFileBuffers(AsHandle(file)) != 0;
    return CloseHandle(AsHandle(file)) != 0 && flushed;
}

void FileWriter::Close(intptr_t file) {
    CloseHandle(AsHandle(file));
}

bool FileWriter::RenameOver(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

intptr_t FileWriter::OpenCopySource(const std::string& from, const std::string& to) {
    HANDLE in = OpenForReading(from);
    if (in == INVALID_HANDLE_VALUE)
        return kNoFile;
    // Writing the copy would replace the very file being read.
    if (IsSameFile(in, to)) {
        CloseHandle(in);
        return kNoFile;
    }
    return reinterpret_cast<intptr_t>(in);
}

// Windows knows a program by its name: there are no permissions to carry over.
void FileWriter::CopyPermissions(intptr_t, intptr_t) {}

} // namespace sys
