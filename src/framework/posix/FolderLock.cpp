// The folder lock on Linux. Implements: flock on a descriptor of the current directory itself,
// so no file is made, and the kernel drops it with the last descriptor, at any end of the
// process; the holder's note on standard error. Leaves out: finding the holder (no window).
#include "framework/FolderLock.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace sys {

FolderLock::~FolderLock() {
    if (m_handle >= 0)
        close(static_cast<int>(m_handle));
}

bool FolderLock::Take(unsigned waitMs) {
    // Close-on-exec, and the children's start closes every other descriptor too: a program the
    // launch starts must never hold the folder after the launcher has gone.
    const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_handle = fd;
            return true;
        }
        // A file system without flock gives no lock to wait for.
        if (errno != EWOULDBLOCK && errno != EINTR) {
            close(fd);
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            close(fd);
            return false;
        }
        // No window and no loop exists yet: this run has nothing else to do meanwhile.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void ShowFolderLockHolder(const std::string& note) {
    std::fprintf(stderr, "%s\n", note.c_str());
}

} // namespace sys
