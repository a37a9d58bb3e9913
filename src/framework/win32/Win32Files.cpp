// Files by name on Windows.
// Implements: whole-file reads and the two file tests (64-bit sizes), sharing the file with
// other readers only; delete; the file writer (FlushFileBuffers before the rename, MoveFileExA
// with write-through); copy through the writer.
// Leaves out: permissions, as Windows knows a program by its extension.
#include "System.h"

#include "WinApi.h"

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

bool FileWriter::Open(const std::string& target, Kind) {
    Abandon();
    HANDLE file = CreateFileA(TemporaryFileName(target).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    m_file = reinterpret_cast<intptr_t>(file);
    m_target = target;
    m_failed = false;
    return true;
}

bool FileWriter::Write(const char* data, size_t size) {
    if (!IsOpen() || m_failed)
        return false;
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(AsHandle(m_file), data, Piece(size), &written, nullptr) || written == 0) {
            m_failed = true;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool FileWriter::Commit() {
    if (!IsOpen())
        return false;
    HANDLE file = AsHandle(m_file);
    m_file = kNoFile;
    const std::string temporary = TemporaryFileName(m_target);
    // On disk before the rename, or a crash soon after it could leave the target empty.
    const bool flushed = !m_failed && FlushFileBuffers(file);
    const bool closed = CloseHandle(file) != 0;
    if (!flushed || !closed ||
        !MoveFileExA(temporary.c_str(), m_target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

void FileWriter::Abandon() {
    if (!IsOpen())
        return;
    CloseHandle(AsHandle(m_file));
    m_file = kNoFile;
    DeleteFileA(TemporaryFileName(m_target).c_str());
}

bool CopyFile(const std::string& from, const std::string& to) {
    Handle in(OpenForReading(from));
    // Writing the copy would replace the very file being read.
    if (!in.IsValid() || IsSameFile(in.Get(), to))
        return false;
    FileWriter out;
    if (!out.Open(to))
        return false;
    std::string block(65536, '\0');
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(in.Get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr))
            return false;
        if (read == 0)
            return out.Commit();
        if (!out.Write(block.data(), read))
            return false;
    }
}

} // namespace sys
