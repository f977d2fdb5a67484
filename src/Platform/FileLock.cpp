#include "Platform/FileLock.h"

#include "Platform/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

FileLock::~FileLock()
{
    unlock();
}

std::string FileLock::lockPathOf(const std::string& path)
{
    std::string real = resolveLinks(path);
    std::size_t slash = real.rfind('/');
    if (slash == std::string::npos)
        return "." + real + ".lock";
    return real.substr(0, slash + 1) + "." + real.substr(slash + 1) + ".lock";
}

bool FileLock::lock(const std::string& path, int waitMs, std::string* error)
{
    unlock();
    std::string lockPath = lockPathOf(path);
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        if (error)
            *error = "cannot open the lock file " + lockPath + ": " + std::strerror(errno);
        return false;
    }
    // Polled rather than blocking, so that a writer that never lets go costs a bounded wait.
    for (int waited = 0;; waited += 20) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (waited >= waitMs) {
            errno = EWOULDBLOCK;
            break;
        }
        ::usleep(20000);
    }
    if (error)
        *error = errno == EWOULDBLOCK ? path + " is being written by another program"
                                      : "cannot lock " + lockPath + ": " + std::strerror(errno);
    ::close(fd);
    return false;
}

void FileLock::unlock()
{
    if (fd_ < 0)
        return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

} // namespace platform
