#include "Platform/AtomicFile.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

bool fail(std::string* error, const std::string& what)
{
    if (error)
        *error = what + ": " + std::strerror(errno);
    return false;
}

// Crash tests: QUILLARA_KILL_AT=N kills the process at point N of its atomic writes, counted
// from the first write after the variable got its value.
struct CrashPoints {
    std::string setting;
    long long left = -1;
    long long passed = 0;
};

CrashPoints& crashPoints()
{
    static CrashPoints points;
    const char* value = std::getenv("QUILLARA_KILL_AT");
    std::string setting = value != nullptr ? value : "";
    if (setting != points.setting) {
        points.setting = setting;
        points.left = setting.empty() ? -1 : std::atoll(setting.c_str());
        points.passed = 0;
    }
    return points;
}

// Passes count points; true when the kill point lies within them (after the first `within`).
bool crashWithin(std::size_t count, std::size_t* within)
{
    CrashPoints& points = crashPoints();
    if (points.left < 0)
        return false;
    if (static_cast<unsigned long long>(points.left) < count) {
        *within = static_cast<std::size_t>(points.left);
        return true;
    }
    points.left -= static_cast<long long>(count);
    points.passed += static_cast<long long>(count);
    return false;
}

void crashPoint()
{
    std::size_t within = 0;
    if (crashWithin(1, &within))
        ::raise(SIGKILL);
}

bool writeSome(int fd, std::string_view bytes)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAll(int fd, std::string_view bytes)
{
    std::size_t within = 0;
    if (!crashWithin(bytes.size(), &within))
        return writeSome(fd, bytes);
    writeSome(fd, bytes.substr(0, within));
    ::raise(SIGKILL);
    return false;
}

std::string directoryOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The temporaries of one writer: "<file>.tmp-<pid>-<n>", so that a later writer can tell
// whether the one that made it is still running.
std::string temporaryPrefix(const std::string& path)
{
    return path + ".tmp-" + std::to_string(::getpid()) + "-";
}

// An unnamed file in the target's directory: a process killed while writing leaves nothing
// behind. Falls back to a named temporary where the file system has no O_TMPFILE.
int openUnnamed(const std::string& directory, mode_t mode)
{
#ifdef O_TMPFILE
    return ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
#else
    (void)directory;
    (void)mode;
    errno = EOPNOTSUPP;
    return -1;
#endif
}

// Gives the written file its final name: a named temporary beside it, renamed over the old one.
bool publish(int fd, bool unnamed, const std::string& temp, const std::string& path,
             std::string* error)
{
    if (unnamed) {
        std::string procPath = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return fail(error, "cannot link " + temp);
        crashPoint();
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        fail(error, "cannot rename over " + path);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace

bool atomicWriteFile(const std::string& given, std::string_view bytes, std::string* error,
                     Durability durability, Links links)
{
    // A link is followed to the file it names, which is replaced in its own directory.
    std::string path = links == Links::Follow ? resolveLinks(given) : given;
    removeStaleTemporaries(path);
    // Keep the mode of the file being replaced (the umask must not narrow or widen it), and
    // its owner where the writer may give it.
    struct stat old {};
    bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    mode_t mode = replacing ? (old.st_mode & 07777) : 0644;
    std::string directory = directoryOf(path);
    std::string temp = temporaryPrefix(path) + "XXXXXX";
    int fd = openUnnamed(directory, mode);
    bool unnamed = fd >= 0;
    if (unnamed) {
        temp = temporaryPrefix(path) + std::to_string(fd);
        ::unlink(temp.c_str());
    } else {
        fd = ::mkstemp(temp.data());
        if (fd < 0)
            return fail(error, "cannot create " + temp);
    }
    ::fchmod(fd, mode);
    if (replacing && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) [[maybe_unused]]
        int kept = ::fchown(fd, old.st_uid, old.st_gid);
    auto discard = [&] {
        ::close(fd);
        if (!unnamed)
            ::unlink(temp.c_str());
        return false;
    };
    bool written = writeAll(fd, bytes) && (durability == Durability::Unsynced || ::fsync(fd) == 0);
    if (!written) {
        fail(error, "cannot write " + path);
        return discard();
    }
    crashPoint();
    if (!publish(fd, unnamed, temp, path, error))
        return discard();
    crashPoint();
    if (::close(fd) != 0)
        return fail(error, "cannot close " + path);
    if (durability == Durability::Unsynced)
        return true;
    int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool atomicCreateFile(const std::string& path, std::string_view bytes, std::string* error,
                      bool* existed)
{
    if (existed)
        *existed = false;
    std::string directory = directoryOf(path);
    int fd = openUnnamed(directory, 0644);
    bool unnamed = fd >= 0;
    std::string temp = temporaryPrefix(path) + "XXXXXX";
    if (!unnamed) {
        fd = ::mkstemp(temp.data());
        if (fd < 0)
            return fail(error, "cannot create " + temp);
        ::fchmod(fd, 0644);
    }
    bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (written)
        crashPoint();
    int linked = -1;
    if (written && unnamed) {
        std::string procPath = "/proc/self/fd/" + std::to_string(fd);
        linked = ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
    } else if (written) {
        linked = ::link(temp.c_str(), path.c_str());
    }
    int linkError = errno;
    ::close(fd);
    if (!unnamed)
        ::unlink(temp.c_str());
    if (!written)
        return fail(error, "cannot write " + path);
    if (linked != 0) {
        errno = linkError;
        if (existed)
            *existed = linkError == EEXIST;
        return fail(error, "cannot create " + path);
    }
    int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

long long crashPointsPassed()
{
    return crashPoints().passed;
}

bool readSavedFile(const std::string& path, std::string& out, std::string* error)
{
    removeStaleTemporaries(resolveLinks(path));
    return readWholeFile(path, out, error);
}

bool readWholeFile(const std::string& path, std::string& out, std::string* error)
{
    out.clear();
    // Not blocked at the open by a FIFO that nobody writes to; a pipe that is written to is
    // read to its end.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return fail(error, "cannot open " + path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        int reason = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        errno = reason;
        return fail(error, "cannot read " + path);
    }
    // A device (/dev/zero, a terminal) is no file to read whole.
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = "cannot read " + path + ": not a file";
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // One allocation for a regular file instead of a doubling string.
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        out.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            fail(error, "cannot read " + path);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

std::string resolveLinks(const std::string& path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size())
            return current;
        target.resize(static_cast<std::size_t>(n));
        current = target.front() == '/' ? target : directoryOf(current) + "/" + target;
    }
    return current;
}

void removeStaleTemporaries(const std::string& path)
{
    std::string directory = directoryOf(path);
    std::string prefix = baseNameOf(path) + ".tmp-";
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (!name.starts_with(prefix))
            continue;
        char* end = nullptr;
        long pid = std::strtol(entry->d_name + prefix.size(), &end, 10);
        if (end == entry->d_name + prefix.size() || *end != '-' || pid <= 0)
            continue;
        // A writer that is still running owns its temporary.
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace platform
