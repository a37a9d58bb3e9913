// One launcher per folder: a lock on the current directory that the system drops when its
// process ends, however it ends, and that needs no file of its own. One backend per platform.
#pragma once

#include <cstdint>
#include <string>

namespace sys {

class FolderLock {
  public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Takes the lock on the current directory, waiting up to `waitMs` for another holder to let
    // go. False only when another holder still has it then; where the system offers no lock
    // on the folder the run goes on unguarded rather than not at all.
    bool Take(unsigned waitMs);

  private:
    intptr_t m_handle = -1; // a descriptor or a handle, by backend
};

// Turns the user to the run that holds the current directory's lock: where there are windows,
// its window comes to the front (waiting briefly for one that is still opening); otherwise
// `note` goes to standard error as one line.
void ShowFolderLockHolder(const std::string& note);

} // namespace sys
