// Files by name on Linux: whole reads of regular files only (never waiting on a FIFO), the
// file writer (write-back as it grows, fsync before the rename and of the folder after), copies,
// version texts read where the headers point. Leaves out: sharing modes (no mandatory locks).
#include "formats/FileVersionParser.h"
#include "framework/System.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How much of a file being written is handed to the disk at a time.
constexpr off_t kWriteBackStep = 8 << 20;

class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    bool Ok() const { return m_fd >= 0; }

  private:
    int m_fd;
};

int OpenForReading(const std::string& name) {
    // Non-blocking, as opening a FIFO for reading would wait for a writer; for a regular file
    // the flag changes nothing.
    int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st {};
    // A directory or a device opens for reading too, but is no file to the launcher.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads to the end, handing each block to `sink`; false on a read error or when the sink
// refuses a block.
template <class Sink> bool ReadBlocks(int fd, Sink sink) {
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!sink(buffer, static_cast<size_t>(n)))
            return false;
    }
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

namespace sys {

bool ReadWholeFile(const std::string& name, std::string& contents) {
    Fd fd(OpenForReading(name));
    if (!fd.Ok())
        return false;
    std::string data;
    if (!ReadBlocks(fd.Get(), [&data](const char* block, size_t size) {
            data.append(block, size);
            return true;
        }))
        return false;
    contents = std::move(data);
    return true;
}

bool CanOpenForReading(const std::string& name) {
    Fd fd(OpenForReading(name));
    return fd.Ok();
}

bool GetOpenableFileSize(const std::string& name, uint64_t& size) {
    Fd fd(OpenForReading(name));
    struct stat st {};
    if (!fd.Ok() || fstat(fd.Get(), &st) != 0)
        return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

namespace {

// A file read where the version reader asks, so that a large program costs a few pages.
class FileSource : public formats::ByteSource {
  public:
    FileSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, size_t length, char* out) const override {
        while (length > 0) {
            const ssize_t n = pread(m_fd, out, length, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            out += n;
            offset += static_cast<uint64_t>(n);
            length -= static_cast<size_t>(n);
        }
        return true;
    }

  private:
    int m_fd;
    uint64_t m_size;
};

} // namespace

bool ReadFileVersion(const std::string& name, char* buffer, size_t size) {
    Fd file(OpenForReading(name));
    struct stat st {};
    std::string version;
    if (!file.Ok() || fstat(file.Get(), &st) != 0 ||
        !formats::ParseFileVersion(FileSource(file.Get(), static_cast<uint64_t>(st.st_size)),
                                   version))
        return false;
    // Copied as a C string, as the Windows program copies its version text: up to a zero
    // character, and no further than the buffer allows.
    if (size > 0) {
        const size_t length = std::min(std::strlen(version.c_str()), size - 1);
        version.copy(buffer, length);
        buffer[length] = '\0';
    }
    return true;
}

bool DeleteFile(const std::string& name) {
    return unlink(name.c_str()) == 0;
}

intptr_t FileWriter::CreateFresh(const std::string& name, Kind kind) {
    // A leftover goes first, so that the new file gets the mode asked for; creating exclusively
    // never writes through a link planted under the name.
    unlink(name.c_str());
    return open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                kind == Kind::Program ? 0777 : 0666);
}

intptr_t FileWriter::OpenExisting(const std::string& name, Kind kind) {
    // Never through a link planted under the name.
    const int fd = open(name.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat st {};
    if (fd < 0)
        return kNoFile;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return kNoFile;
    }
    // Whoever may read a program may run it, as with a fresh one.
    if (kind == Kind::Program)
        fchmod(fd, (st.st_mode & 07777) | ((st.st_mode & 0444) >> 2));
    return fd;
}

bool FileWriter::ReadBlock(intptr_t file, char* data, size_t size, size_t& got) {
    for (;;) {
        const ssize_t n = read(static_cast<int>(file), data, size);
        if (n < 0 && errno == EINTR)
            continue;
        got = n < 0 ? 0 : static_cast<size_t>(n);
        return n >= 0;
    }
}

bool FileWriter::SeekToEnd(intptr_t file, uint64_t& size) {
    const off_t end = lseek(static_cast<int>(file), 0, SEEK_END);
    size = end < 0 ? 0 : static_cast<uint64_t>(end);
    return end >= 0;
}

bool FileWriter::WriteBlock(intptr_t file, const char* data, size_t size) {
    const int fd = static_cast<int>(file);
    if (!WriteAll(fd, data, size))
        return false;
    // The disk takes the bytes while more arrive, so that the flush before the rename finds
    // little left to write: each step of the file is handed to write-back as it fills.
    const off_t end = lseek(fd, 0, SEEK_CUR);
    if (end > 0 && end / kWriteBackStep != (end - static_cast<off_t>(size)) / kWriteBackStep)
        sync_file_range(fd, 0, end / kWriteBackStep * kWriteBackStep, SYNC_FILE_RANGE_WRITE);
    return true;
}

bool FileWriter::FlushAndClose(intptr_t file) {
    const bool flushed = fsync(static_cast<int>(file)) == 0;
    // A failing close can be the first word of a full disk on some file systems.
    return close(static_cast<int>(file)) == 0 && flushed;
}

void FileWriter::Close(intptr_t file) {
    close(static_cast<int>(file));
}

bool FileWriter::RenameOver(const std::string& from, const std::string& to) {
    if (rename(from.c_str(), to.c_str()) != 0)
        return false;
    // The rename itself lasts only once the folder is on disk. The file is in place by now,
    // so a failure here has nothing left to undo.
    Fd folder(open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Ok())
        fsync(folder.Get());
    return true;
}

intptr_t FileWriter::OpenCopySource(const std::string& from, const std::string& to) {
    Fd in(OpenForReading(from));
    struct stat source {
    }, target{};
    if (!in.Ok() || fstat(in.Get(), &source) != 0)
        return kNoFile;
    // Writing the copy would replace the very file being read.
    if (stat(to.c_str(), &target) == 0 && target.st_dev == source.st_dev &&
        target.st_ino == source.st_ino)
        return kNoFile;
    return in.Release();
}

void FileWriter::CopyPermissions(intptr_t from, intptr_t to) {
    // A copied program stays executable.
    struct stat source {};
    if (fstat(static_cast<int>(from), &source) == 0)
        fchmod(static_cast<int>(to), source.st_mode & 07777);
}

} // namespace sys
