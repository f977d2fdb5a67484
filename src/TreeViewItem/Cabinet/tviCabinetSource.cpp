#include "TreeViewItem/Cabinet/tviCabinetSource.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Platform/AtomicFile.h"
#include "TreeViewItem/Formats/tviBookmarkFile.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Formats/tviFavoritesFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string head(const std::string& path, size_t bytes)
{
    std::string out;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return out;
    }
    out.resize(bytes);
    ssize_t n = ::read(fd, out.data(), bytes);
    ::close(fd);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

bool containsNoCase(const std::string& text, std::string_view needle)
{
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    for (size_t i = 0; i + needle.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && up(text[i + k]) == up(needle[k])) {
            ++k;
        }
        if (k == needle.size()) {
            return true;
        }
    }
    return false;
}

std::string plural(size_t n, const char* what)
{
    return std::to_string(n) + " " + what;
}

} // namespace

tviCabinetSource::tviCabinetSource(ctrlTreeView* tree) : tviCabinet(tree)
{
    countCreated("tviCabinetSource");
}

tviCabinetSource::~tviCabinetSource()
{
    countDestroyed("tviCabinetSource");
}

tviSourceKind tviCabinetSource::kindOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return tviSourceKind::favorites;
    }
    std::string start = head(path, tviBookmarkFile::headLimit);
    if (containsNoCase(start, "NETSCAPE-Bookmark-file")) {
        return tviSourceKind::bookmarks;
    }
    bool scb = path.size() > 4 && path.compare(path.size() - 4, 4, ".scb") == 0;
    if (scb || containsNoCase(start, "name=\"quillara\"")) {
        return tviSourceKind::cabinet;
    }
    return tviBookmarkFile::isBookmarkFile(start) ? tviSourceKind::bookmarks
                                                  : tviSourceKind::cabinet;
}

bool tviCabinetSource::read(const std::string& path, tviCabinetDocument& doc, std::string& error,
                            std::string& warning)
{
    warning.clear();
    tviSourceKind kind = kindOf(path);
    if (kind == tviSourceKind::favorites) {
        tviFavoritesStats stats;
        if (!tviFavoritesFolder::read(path, doc, error, &stats)) {
            return false;
        }
        if (stats.skipped > 0) {
            warning =
                plural(stats.skipped, "shortcuts or folders could not be read and were left out");
        }
        if (stats.replaced > 0) {
            warning +=
                (warning.empty() ? "" : "; ") +
                plural(stats.replaced, "characters Shift_JIS cannot hold kept as &#N; references");
        }
        return true;
    }
    std::string bytes;
    if (!platform::readWholeFile(path, bytes, &error)) {
        return false;
    }
    if (kind == tviSourceKind::bookmarks) {
        tviBookmarkStats stats;
        if (!tviBookmarkFile::read(bytes, doc, error, &stats)) {
            return false;
        }
        std::vector<std::string> notes;
        if (stats.truncated) {
            notes.push_back("the file is cut short; read up to the cut");
        }
        if (stats.replaced > 0) {
            notes.push_back(
                plural(stats.replaced, "characters Shift_JIS cannot hold kept as &#N; references"));
        }
        if (stats.withoutHref > 0) {
            notes.push_back(plural(stats.withoutHref, "anchors without HREF left out"));
        }
        if (stats.surplusListEnds > 0) {
            notes.push_back(plural(stats.surplusListEnds, "surplus </DL> ignored"));
        }
        if (stats.flattened > 0) {
            notes.push_back(
                plural(stats.flattened, "lists nested too deep read into the deepest folder"));
        }
        for (const std::string& note : notes) {
            warning += (warning.empty() ? "" : "; ") + note;
        }
        return true;
    }
    bool whole = tviCabinetFile::read(bytes, doc, error);
    if (!whole) {
        if (doc.entries.empty() && doc.name.empty()) {
            return false;
        }
        warning = error;
        error.clear();
    }
    return true;
}

bool tviCabinetSource::loadSource()
{
    if (kindOf(path_) == tviSourceKind::cabinet) {
        return load();
    }
    ctrlTreeView* t = tree();
    while (TreeNode child = t->getFirstChild(getHandle())) {
        tviTreeViewItem* item = t->getItem(child);
        item->deleteSubtree();
        t->destroyItem(item);
    }
    readOnly_ = true;
    fileMissing_ = false;
    changedAt_ = -1;
    tviCabinetDocument doc;
    std::string error;
    std::string warning;
    unreadable_ = !read(path_, doc, error, warning);
    loadError_ = unreadable_ ? error : std::string();
    if (unreadable_) {
        t->setOverlay(getHandle(), overlayError);
        return logError(path_ + ": " + error);
    }
    if (!warning.empty()) {
        logError(path_ + ": " + warning);
    }
    bool built = fromDocument(std::move(doc));
    t->setOverlay(getHandle(), overlayReadOnly);
    refreshText();
    return built;
}
