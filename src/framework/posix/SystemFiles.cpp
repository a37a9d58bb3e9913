// Files by name for the Linux program.
// Implements: whole-file reads and writes with short reads/writes and 64-bit sizes handled,
// delete, copy over an existing file, replace by rename.
// Leaves out: opening "without sharing": POSIX has no mandatory locks, and an advisory lock
// would only hold up other tools, so a file open elsewhere is read all the same.
#include "System.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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
    bool Ok() const { return m_fd >= 0; }
    // Closes now, so that a failing close (a full disk on some file systems) is seen.
    bool Close() {
        int fd = m_fd;
        m_fd = -1;
        return close(fd) == 0;
    }

  private:
    int m_fd;
};

int OpenForReading(const std::string& name) {
    int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    // A directory opens for reading on POSIX but is no file to the launcher.
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
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

bool ReadAll(int fd, std::string& contents) {
    std::string data;
    if (!ReadBlocks(fd, [&data](const char* block, size_t size) {
            data.append(block, size);
            return true;
        }))
        return false;
    contents = std::move(data);
    return true;
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

} // namespace

namespace sys {

bool ReadWholeFile(const std::string& name, std::string& contents) {
    Fd fd(OpenForReading(name));
    return fd.Ok() && ReadAll(fd.Get(), contents);
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

bool WriteWholeFile(const std::string& name, const std::string& contents) {
    Fd fd(open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    return fd.Ok() && WriteAll(fd.Get(), contents.data(), contents.size()) && fd.Close();
}

bool DeleteFile(const std::string& name) {
    return unlink(name.c_str()) == 0;
}

bool CopyFile(const std::string& from, const std::string& to) {
    Fd in(OpenForReading(from));
    struct stat st {};
    if (!in.Ok() || fstat(in.Get(), &st) != 0)
        return false;
    // The copy keeps the source's permissions, so a copied program stays executable.
    Fd out(open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 07777));
    if (!out.Ok())
        return false;
    fchmod(out.Get(), st.st_mode & 07777);
    return ReadBlocks(in.Get(), [&out](const char* block,
                                       size_t size) { return WriteAll(out.Get(), block, size); }) &&
           out.Close();
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

} // namespace sys
