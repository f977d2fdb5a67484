#include "TreeViewItem/Formats/tviFavoritesFolder.h"

#include "Engine/Text/utlUnicodeText.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Formats/tviInternetShortcut.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool endsWithUrl(const std::string& name)
{
    if (name.size() <= 4) {
        return false;
    }
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    return ext == ".url";
}

bool readSmallFile(const std::string& path, std::string& out)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<size_t>(st.st_size) <= tviInternetShortcut::maxBytes;
    out.clear();
    char buffer[4096];
    while (ok) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        out.append(buffer, static_cast<size_t>(n));
        ok = out.size() <= tviInternetShortcut::maxBytes;
    }
    ::close(fd);
    return ok;
}

} // namespace

std::string tviFavoritesFolder::nameFromDisk(const std::string& name, size_t* replaced)
{
    if (!isValidUtf8(name)) {
        return name;
    }
    return platform::utf8ToSjis(name, platform::Ampersand::text, replaced);
}

bool tviFavoritesFolder::read(const std::string& directory, tviCabinetDocument& doc,
                              std::string& error, tviFavoritesStats* stats)
{
    doc = tviCabinetDocument{};
    error.clear();
    tviFavoritesStats local;
    tviFavoritesStats& st = stats != nullptr ? *stats : local;
    st = tviFavoritesStats{};
    std::string root = directory;
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    size_t slash = root.rfind('/');
    doc.name =
        nameFromDisk(slash == std::string::npos ? root : root.substr(slash + 1), &st.replaced);

    // Entries go out in document order (a folder, then everything below it), as the cabinet
    // writer expects: a directory's task lists it, then queues its shortcuts behind its
    // sub-directories.
    struct Task {
        bool shortcuts = false;
        std::string path;
        int parent = -1;
        int depth = 0;
        std::vector<std::string> files;
    };
    std::vector<Task> work;
    auto list = [&](const std::string& path, int parent, int depth) {
        DIR* d = ::opendir(path.c_str());
        if (d == nullptr) {
            return false;
        }
        std::vector<std::string> folders;
        Task files{true, path, parent, depth, {}};
        while (dirent* entry = ::readdir(d)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            struct stat s {};
            if (::lstat((path + "/" + name).c_str(), &s) != 0) {
                continue;
            }
            if (S_ISDIR(s.st_mode)) {
                folders.push_back(name);
            } else if (endsWithUrl(name)) {
                files.files.push_back(name);
            }
        }
        ::closedir(d);
        std::sort(folders.begin(), folders.end());
        std::sort(files.files.begin(), files.files.end());
        work.push_back(std::move(files));
        for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
            work.push_back(Task{false, path + "/" + *it, parent, depth + 1, {}});
        }
        return true;
    };
    if (!list(root, -1, 0)) {
        error = "cannot read directory " + root + ": " + std::strerror(errno);
        return false;
    }
    while (!work.empty()) {
        Task task = std::move(work.back());
        work.pop_back();
        if (!task.shortcuts) {
            if (task.depth > tviCabinetFile::maxDepth - 1) {
                ++st.flattened;
                continue;
            }
            size_t cut = task.path.rfind('/');
            tviCabinetEntry e;
            e.type = 3;
            e.parent = task.parent;
            e.name = nameFromDisk(task.path.substr(cut + 1), &st.replaced);
            doc.entries.push_back(std::move(e));
            if (!list(task.path, static_cast<int>(doc.entries.size()) - 1, task.depth)) {
                ++st.skipped; // vanished or unreadable meanwhile: an empty folder
            }
            continue;
        }
        for (const std::string& name : task.files) {
            std::string bytes;
            std::string url;
            std::string why;
            if (!readSmallFile(task.path + "/" + name, bytes) ||
                !tviInternetShortcut::read(bytes, url, why)) {
                ++st.skipped;
                continue;
            }
            tviCabinetEntry e;
            e.type = 4;
            e.parent = task.parent;
            e.name = nameFromDisk(name.substr(0, name.size() - 4), &st.replaced);
            e.url = url;
            doc.entries.push_back(std::move(e));
        }
    }
    return true;
}
