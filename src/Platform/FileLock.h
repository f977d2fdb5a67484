#pragma once

#include <string>

namespace platform {

// An advisory lock that every writer of one file takes for its read-modify-write, so that two
// programs never interleave theirs. The lock is held on a lock file beside the file (a file
// replaced by rename is a new inode, so the file itself cannot carry the lock): for
// "dir/Name.scb" it is "dir/.Name.scb.lock", beside the file that symbolic links lead to.
// The lock goes with the object, or with the process when it dies.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock of path, waiting up to waitMs for another holder to let go (0: one try).
    // False, with error saying why, when it is held elsewhere or cannot be made.
    [[nodiscard]] bool lock(const std::string& path, int waitMs, std::string* error = nullptr);
    void unlock();
    bool isLocked() const { return fd_ >= 0; }

    static std::string lockPathOf(const std::string& path);
    // How long writers wait for one another by default: a save takes far less.
    static constexpr int defaultWaitMs = 10000;

private:
    int fd_ = -1;
};

} // namespace platform
