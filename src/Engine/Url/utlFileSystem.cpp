#include "Engine/Url/utlFileSystem.h"

#include "Common/utlLog.h"
#include "Common/utlTexts.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

const char* const messageDeleteFailed = utlTexts::sjis(utlText::folderDeleteFailed);
const char* const messageOutsideRoot = utlTexts::sjis(utlText::folderNotDeletable);

// Logged under the function that failed, the one calling this.
bool reportFailure(const char* message, const std::string& path, int error,
                   std::source_location caller = std::source_location::current())
{
    char code[32];
    std::snprintf(code, sizeof code, "(CODE=0x%08X)", static_cast<unsigned>(error));
    return logError(std::string(message) + code + " " + path, caller);
}

std::string realPath(const std::string& path)
{
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return {};
    return resolved;
}

std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Removes everything inside the open directory dirFd (which it closes), then nothing else.
// openat with O_NOFOLLOW keeps us from walking through a link swapped in meanwhile.
bool deleteContents(int dirFd)
{
    DIR* dir = ::fdopendir(dirFd);
    if (dir == nullptr) {
        ::close(dirFd);
        return false;
    }
    bool ok = true;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            ok = ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0 && ok;
            continue;
        }
        int child =
            ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0 || !deleteContents(child)) {
            ok = false;
            continue;
        }
        ok = ::unlinkat(::dirfd(dir), entry->d_name, AT_REMOVEDIR) == 0 && ok;
    }
    ::closedir(dir);
    return ok;
}

struct MimeEntry {
    std::string_view extension;
    std::string_view type;
};

// The types a page's resources mostly have; read before the system's table so that the
// common cases do not depend on what is installed.
constexpr std::array<MimeEntry, 34> knownTypes = {{
    {"html", "text/html"},
    {"htm", "text/html"},
    {"shtml", "text/html"},
    {"xhtml", "application/xhtml+xml"},
    {"css", "text/css"},
    {"js", "text/javascript"},
    {"txt", "text/plain"},
    {"xml", "application/xml"},
    {"gif", "image/gif"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"png", "image/png"},
    {"bmp", "image/bmp"},
    {"ico", "image/vnd.microsoft.icon"},
    {"svg", "image/svg+xml"},
    {"webp", "image/webp"},
    {"pdf", "application/pdf"},
    {"zip", "application/zip"},
    {"lzh", "application/x-lzh"},
    {"gz", "application/gzip"},
    {"tar", "application/x-tar"},
    {"exe", "application/x-msdownload"},
    {"doc", "application/msword"},
    {"xls", "application/vnd.ms-excel"},
    {"mid", "audio/midi"},
    {"wav", "audio/x-wav"},
    {"mp3", "audio/mpeg"},
    {"mpg", "video/mpeg"},
    {"mp4", "video/mp4"},
    {"avi", "video/x-msvideo"},
    {"swf", "application/x-shockwave-flash"},
    {"scb", "text/html"},
    {"url", "application/x-mswinurl"},
    {"json", "application/json"},
}};

// extension -> type from /etc/mime.types, read once.
const std::unordered_map<std::string, std::string>& systemTypes()
{
    static const std::unordered_map<std::string, std::string> table = [] {
        std::unordered_map<std::string, std::string> types;
        std::ifstream in("/etc/mime.types");
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            size_t end = line.find_first_of(" \t");
            if (end == std::string::npos)
                continue;
            std::string type = line.substr(0, end);
            size_t pos = end;
            while ((pos = line.find_first_not_of(" \t", pos)) != std::string::npos) {
                size_t stop = line.find_first_of(" \t", pos);
                types.emplace(line.substr(pos, stop - pos), type);
                pos = stop;
            }
        }
        return types;
    }();
    return table;
}

bool isPlainExtension(const std::string& extension)
{
    if (extension.empty() || extension.size() > 16)
        return false;
    for (char c : extension) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9'))
            return false;
    }
    return true;
}

} // namespace

bool deleteDirectoryTree(const std::string& folder, const std::string& allowedRoot)
{
    std::string target = withoutTrailingSlash(folder);
    struct stat st;
    if (::lstat(target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return reportFailure(messageDeleteFailed, folder, errno);
    std::string resolved = realPath(target);
    std::string root = realPath(withoutTrailingSlash(allowedRoot));
    if (resolved.empty() || root.empty() ||
        !resolved.starts_with(root == "/" ? root : root + "/") || resolved == root)
        return reportFailure(messageOutsideRoot, folder, EPERM);
    int fd = ::open(resolved.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || !deleteContents(fd) || ::rmdir(resolved.c_str()) != 0)
        return reportFailure(messageDeleteFailed, folder, errno);
    return true;
}

std::string mimeTypeForExtension(const std::string& extension)
{
    if (!isPlainExtension(extension))
        return {};
    std::string lower;
    for (char c : extension)
        lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    for (const MimeEntry& entry : knownTypes)
        if (entry.extension == lower)
            return std::string(entry.type);
    const auto& types = systemTypes();
    auto it = types.find(lower);
    return it == types.end() ? "application/octet-stream" : it->second;
}

std::string folderMimeType()
{
    return "inode/directory";
}

std::string getLongPathName(const std::string& path)
{
    std::string resolved = realPath(path);
    if (resolved.empty())
        return path;
    if (path.size() > 1 && path.back() == '/' && resolved.back() != '/')
        resolved += '/';
    return resolved;
}
