#include "TreeViewItem/Snapshot/tviPageSnapshot.h"

#include "Common/utlIniInfo.h"
#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Engine/Url/utlFileSystem.h"
#include "Platform/AtomicFile.h"
#include "Platform/FileLock.h"
#include "Platform/SafePath.h"
#include "TreeViewItem/Base/utlTreeStep.h"
#include "TreeViewItem/Snapshot/tviPSSFolder.h"
#include "TreeViewItem/Snapshot/tviPSSItem.h"
#include "TreeViewItem/Formats/tviSnapshotFiles.h"

#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <algorithm>
#include <memory>
#include <set>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredPageSnapshot =
    tviTreeViewItem::registerFactory(typePageSnapshot, tviTreeViewItem::make<tviPageSnapshot>);

namespace {

const char* const cabinetName = utlTexts::sjis(utlText::snapshotCabinetName);
const char* const cabinetDescription = utlTexts::sjis(utlText::snapshotCabinetDescription);
const char* const propertiesSuffix = utlTexts::sjis(utlText::propertiesOf);
const char* const newFolderName = utlTexts::sjis(utlText::newFolderName);
const char* const msgRefused = utlTexts::sjis(utlText::badDirectorySkipped);
const char* const msgSaveFailed = utlTexts::sjis(utlText::fileSaveFailed);
const char* const emptyTrashQuestion = utlTexts::sjis(utlText::emptySnapshotBinQuestion);
const char* const msgRefusedDelete = utlTexts::sjis(utlText::folderNotDeletable);

std::string withoutSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// A real directory, not a link to one.
bool isPlainDirectory(const std::string& path)
{
    struct stat st;
    return ::lstat(withoutSlash(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(withoutSlash(path).c_str(), &st) == 0;
}

tviPageSnapshot* makeCabinet(ctrlTreeView* tree)
{
    return static_cast<tviPageSnapshot*>(tree->adopt(std::make_unique<tviPageSnapshot>(tree)));
}

} // namespace

tviPageSnapshot::tviPageSnapshot(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviPageSnapshot");
}

tviPageSnapshot::~tviPageSnapshot()
{
    countDestroyed("tviPageSnapshot");
}

std::string tviPageSnapshot::getCabinetName() const
{
    return cabinetName;
}

std::string tviPageSnapshot::getDescription() const
{
    return cabinetDescription;
}

int tviPageSnapshot::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageCabinetOpen : imageCabinetClosed;
}

bool tviPageSnapshot::executeCommand(int code, bool query, bool& handled)
{
    switch (code) {
    case codeOf(utlCommand::emptySnapshotTrash): {
        bool enabled = false;
        bool ok = cmdEmptyTrash(query, &enabled);
        handled = enabled;
        return ok;
    }
    case codeOf(utlCommand::deleteItem):
    case codeOf(utlCommand::cut):
    case codeOf(utlCommand::copy):
    case codeOf(utlCommand::moveUp):
    case codeOf(utlCommand::moveDown):
    case codeOf(utlCommand::newItem):
    case codeOf(utlCommand::takeSnapshot):
    case codeOf(utlCommand::takeFootprint): handled = false; return true;
    default: return tviTreeViewItem::executeCommand(code, query, handled);
    }
}

bool tviPageSnapshot::setFolderPath(const std::string& path)
{
    folderPath_ = path;
    if (!folderPath_.empty() && folderPath_.back() != '/')
        folderPath_ += '/';
    if (folderPath_.empty())
        return false;
    ::mkdir(withoutSlash(folderPath_).c_str(), 0755);
    ::mkdir(withoutSlash(getTrashPath()).c_str(), 0755);
    return isPlainDirectory(folderPath_);
}

bool tviPageSnapshot::load()
{
    replayPlan();
    listStamp_ = platform::FileStamp::of(folderPath_ + "List");
    bool ok = loadChildren(this, folderPath_);
    noteListed();
    return ok;
}

void tviPageSnapshot::noteListed()
{
    listedDirs_.clear();
    for (TreeNode c = tree()->getFirstChild(getHandle()); c != nullptr;
         c = tree()->getNextSibling(c)) {
        tviTreeViewItem* item = tree()->getItem(c);
        if (auto* folder = dynamic_cast<tviPSSFolder*>(item))
            listedDirs_.insert(folder->getDirName());
        else if (auto* snapshot = dynamic_cast<tviPSSItem*>(item))
            listedDirs_.insert(snapshot->getDirName());
    }
}

void tviPageSnapshot::mergeList()
{
    std::string bytes;
    if (!platform::readWholeFile(folderPath_ + "List", bytes))
        return;
    std::vector<tviSnapshotListEntry> onDisk = tviSnapshotFiles::readList(bytes, nullptr);
    std::set<std::string> diskDirs;
    for (const tviSnapshotListEntry& entry : onDisk)
        diskDirs.insert(entry.dirName);
    ctrlTreeView* t = tree();
    std::set<std::string> here;
    std::vector<tviTreeViewItem*> removed;
    for (TreeNode c = t->getFirstChild(getHandle()); c != nullptr; c = t->getNextSibling(c)) {
        tviTreeViewItem* item = t->getItem(c);
        std::string dir;
        if (auto* folder = dynamic_cast<tviPSSFolder*>(item))
            dir = folder->getDirName();
        else if (auto* snapshot = dynamic_cast<tviPSSItem*>(item))
            dir = snapshot->getDirName();
        here.insert(dir);
        // Gone from the List and from the disk: the other program deleted it.
        if (listedDirs_.count(dir) != 0 && diskDirs.count(dir) == 0 &&
            !isPlainDirectory(folderPath_ + dir))
            removed.push_back(item);
    }
    for (tviTreeViewItem* item : removed) {
        item->deleteSubtree();
        t->destroyItem(item);
    }
    // New entries go first, in the List's order, as a new snapshot does.
    TreeNode after = kTreeFirst;
    for (const tviSnapshotListEntry& entry : onDisk) {
        if (here.count(entry.dirName) != 0 || listedDirs_.count(entry.dirName) != 0)
            continue;
        std::string childPath = folderPath_ + entry.dirName;
        if (!isPlainDirectory(childPath) || !platform::isPathInside(folderPath_, childPath))
            continue;
        tviTreeViewItem* made = nullptr;
        if (entry.folder) {
            auto* folder = static_cast<tviPSSFolder*>(t->adopt(std::make_unique<tviPSSFolder>(t)));
            folder->setName(entry.name);
            folder->setDirName(entry.dirName);
            made = folder;
        } else {
            auto* item = static_cast<tviPSSItem*>(t->adopt(std::make_unique<tviPSSItem>(t)));
            item->setName(entry.name);
            item->setDirName(entry.dirName);
            item->load(childPath);
            made = item;
        }
        if (!made->insertItem(getHandle(), after)) {
            t->destroyItem(made);
            continue;
        }
        if (auto* folder = dynamic_cast<tviPSSFolder*>(made))
            folder->load(childPath);
        after = made->getHandle();
    }
}

bool tviPageSnapshot::save()
{
    // One writer of the List at a time, across programs; what another program wrote since
    // this tree read it is taken in, never written over.
    platform::FileLock lock;
    std::string error;
    if (!lock.lock(folderPath_ + "List", tree()->lockWaitMs, &error))
        return logError(folderPath_ + "List: " + error);
    if (platform::FileStamp::of(folderPath_ + "List") != listStamp_)
        mergeList();
    bool ok = saveChildren(this, folderPath_);
    listStamp_ = platform::FileStamp::of(folderPath_ + "List");
    noteListed();
    return ok;
}

tviPageSnapshot* tviPageSnapshot::cabinetOf(const tviTreeViewItem* item)
{
    if (item == nullptr || item->getHandle() == nullptr)
        return nullptr;
    TreeNode top = item->getHandle();
    for (TreeNode p = item->tree()->getParent(top); p != kTreeRoot; p = item->tree()->getParent(p))
        top = p;
    return dynamic_cast<tviPageSnapshot*>(item->tree()->getItem(top));
}

std::string tviPageSnapshot::fullPathOf(const tviTreeViewItem* item)
{
    std::vector<std::string> parts;
    for (const tviTreeViewItem* at = item; at != nullptr; at = at->parentItem()) {
        if (const auto* cabinet = dynamic_cast<const tviPageSnapshot*>(at)) {
            std::string path = cabinet->getFolderPath();
            for (auto it = parts.rbegin(); it != parts.rend(); ++it)
                path += *it;
            return path;
        }
        if (const auto* folder = dynamic_cast<const tviPSSFolder*>(at))
            parts.push_back(folder->getDirName());
        else if (const auto* snapshot = dynamic_cast<const tviPSSItem*>(at))
            parts.push_back(snapshot->getDirName());
        else
            return {};
    }
    return {};
}

bool tviPageSnapshot::loadChildren(tviTreeViewItem* parent, const std::string& path)
{
    std::string bytes;
    std::string listPath = path + "List";
    if (!exists(listPath))
        return true;
    if (!platform::readSavedFile(listPath, bytes))
        return logError(listPath);
    std::size_t refused = 0;
    std::vector<tviSnapshotListEntry> entries = tviSnapshotFiles::readList(bytes, &refused);
    if (refused > 0)
        logError(std::string(msgRefused) + " (" + std::to_string(refused) + ") " + listPath);
    ctrlTreeView* tree = parent->tree();
    bool ok = true;
    for (const tviSnapshotListEntry& entry : entries) {
        std::string childPath = path + entry.dirName;
        // A directory that is a link, or that does not exist, is not followed.
        if (!isPlainDirectory(childPath) || !platform::isPathInside(path, childPath)) {
            logError(std::string(msgRefused) + " " + childPath);
            continue;
        }
        if (entry.folder) {
            auto* folder =
                static_cast<tviPSSFolder*>(tree->adopt(std::make_unique<tviPSSFolder>(tree)));
            folder->setName(entry.name);
            folder->setDirName(entry.dirName);
            if (!folder->insertItem(parent->getHandle(), kTreeLast)) {
                tree->destroyItem(folder);
                ok = false;
                continue;
            }
            ok = folder->load(childPath) && ok;
            continue;
        }
        auto* item = static_cast<tviPSSItem*>(tree->adopt(std::make_unique<tviPSSItem>(tree)));
        item->setName(entry.name);
        item->setDirName(entry.dirName);
        item->load(childPath);
        if (!item->insertItem(parent->getHandle(), kTreeLast)) {
            tree->destroyItem(item);
            ok = false;
        }
    }
    return ok;
}

bool tviPageSnapshot::saveChildren(tviTreeViewItem* parent, const std::string& path)
{
    ctrlTreeView* tree = parent->tree();
    tviPageSnapshot* cabinet = cabinetOf(parent);
    std::vector<tviSnapshotListEntry> entries;
    std::vector<tviTreeViewItem*> children;
    for (TreeNode c = tree->getFirstChild(parent->getHandle()); c != nullptr;
         c = tree->getNextSibling(c))
        children.push_back(tree->getItem(c));
    bool ok = true;
    for (tviTreeViewItem* child : children) {
        if (auto* folder = dynamic_cast<tviPSSFolder*>(child)) {
            entries.push_back({true, folder->getDirName(), folder->getName()});
            ok = folder->save(path + folder->getDirName()) && ok;
            continue;
        }
        auto* item = dynamic_cast<tviPSSItem*>(child);
        if (item == nullptr)
            continue;
        if (item->isExpired() && item->getDownloadState() == 0 && cabinet != nullptr) {
            std::string trashPath;
            tviTrashOrigin origin = cabinet->originOf(item);
            if (cabinet->moveToTrash(path + item->getDirName(), trashPath, &origin)) {
                item->deleteSubtree();
                tree->destroyItem(item);
                continue;
            }
        }
        entries.push_back({false, item->getDirName(), item->getName()});
        ok = item->save(path + item->getDirName()) && ok;
    }
    std::string error;
    if (!platform::atomicWriteFile(path + "List", tviSnapshotFiles::writeList(entries), &error))
        return logError(std::string(msgSaveFailed) + " " + path + "List " + error);
    return ok;
}

std::string tviPageSnapshot::makeDirectory(const std::string& parentPath,
                                           const std::string& name) const
{
    std::string base = tviSnapshotFiles::directoryNameOf(name);
    std::string dirName = base;
    for (int n = 0; exists(parentPath + dirName); ++n) {
        if (n > 100000)
            return {};
        dirName = base + "(" + std::to_string(n) + ")";
    }
    if (::mkdir((parentPath + dirName).c_str(), 0755) != 0)
        return {};
    return dirName + "/";
}

tviPSSItem* tviPageSnapshot::addSnapshot(const std::string& source, const std::string& description,
                                         const std::string& name, bool autoDelete)
{
    std::string dirName = makeDirectory(folderPath_, name);
    if (dirName.empty()) {
        logError(folderPath_ + name);
        return nullptr;
    }
    auto* item = static_cast<tviPSSItem*>(tree()->adopt(std::make_unique<tviPSSItem>(tree())));
    item->setSource(source);
    item->setName(name);
    item->setDirName(dirName);
    item->setDescription(description);
    item->setAutoDelete(autoDelete);
    kivaTime created;
    created.fromCalendarSeconds(ageing_.now());
    item->setCreated(created);
    if (!item->insertItem(getHandle(), kTreeFirst)) {
        tree()->destroyItem(item);
        ::rmdir((folderPath_ + withoutSlash(dirName)).c_str());
        return nullptr;
    }
    item->beginDownload();
    tree()->selectNode(item->getHandle());
    // A list that cannot be written is logged; the snapshot is there and the next change
    // writes the list again.
    (void)save();
    return item;
}

tviPSSItem* tviPageSnapshot::takeSnapshot(const std::string& source, const std::string& description,
                                          const std::string& name, bool autoDelete, int mode)
{
    tviPSSItem* item = addSnapshot(source, description, name, autoDelete);
    if (item == nullptr)
        return nullptr;
    if (!tree()->startSnapshot(item, mode, source, item->getFullPath())) {
        item->markFailed();
        return item;
    }
    return item;
}

bool tviPageSnapshot::moveToTrash(const std::string& path, std::string& trashPath,
                                  const tviTrashOrigin* origin) const
{
    std::string from = withoutSlash(path);
    if (!isPlainDirectory(from) || !platform::isPathInside(folderPath_, from) ||
        platform::isPathInside(getTrashPath(), from))
        return logError(std::string(msgRefusedDelete) + " " + from);
    std::string trash = getTrashPath();
    ::mkdir(withoutSlash(trash).c_str(), 0755);
    for (unsigned n = 1; n < 1000000; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "SSI%X.tmp", n);
        std::string target = trash + name;
        if (exists(target))
            continue;
        if (std::rename(from.c_str(), target.c_str()) != 0)
            return logError(from + " " + std::strerror(errno));
        trashPath = target + "/";
        std::string error;
        if (origin != nullptr &&
            !platform::atomicWriteFile(trashPath + tviSnapshotFiles::originName,
                                       tviSnapshotFiles::writeOrigin(*origin), &error))
            logError(trashPath + " " + error);
        return true;
    }
    return false;
}

bool tviPageSnapshot::restoreFromTrash(const std::string& trashPath, const std::string& parentPath,
                                       std::string& dirName) const
{
    std::string from = withoutSlash(trashPath);
    if (!isPlainDirectory(from) || !platform::isPathInside(getTrashPath(), from))
        return logError(from);
    std::string base = withoutSlash(dirName);
    std::string name = base;
    for (int n = 0; exists(parentPath + name); ++n)
        name = base + "(" + std::to_string(n) + ")";
    if (std::rename(from.c_str(), (parentPath + name).c_str()) != 0)
        return logError(from + " " + std::strerror(errno));
    dirName = name + "/";
    ::unlink((parentPath + dirName + tviSnapshotFiles::originName).c_str());
    return true;
}

tviTrashOrigin tviPageSnapshot::originOf(const tviTreeViewItem* item) const
{
    tviTrashOrigin origin;
    if (const auto* folder = dynamic_cast<const tviPSSFolder*>(item)) {
        origin.folder = true;
        origin.name = folder->getName();
        origin.dirName = folder->getDirName();
    } else if (const auto* snapshot = dynamic_cast<const tviPSSItem*>(item)) {
        origin.name = snapshot->getName();
        origin.dirName = snapshot->getDirName();
    }
    std::string parentPath = fullPathOf(item->parentItem());
    if (parentPath.starts_with(folderPath_))
        origin.parent = parentPath.substr(folderPath_.size());
    TreeNode previous =
        item->getHandle() != nullptr ? tree()->getPrevSibling(item->getHandle()) : nullptr;
    tviTreeViewItem* before = previous != nullptr ? tree()->getItem(previous) : nullptr;
    if (const auto* folder = dynamic_cast<const tviPSSFolder*>(before))
        origin.after = folder->getDirName();
    else if (const auto* snapshot = dynamic_cast<const tviPSSItem*>(before))
        origin.after = snapshot->getDirName();
    origin.deleted = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    return origin;
}

namespace {

// The names in a directory but "." and ".."; none when it cannot be read.
std::vector<std::string> namesIn(const std::string& directory)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr)
        return names;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

struct TrashEntry {
    std::string path; // ending with '/'
    tviTrashOrigin origin;
};

// The entries of the trash that know where they came from, the latest deletion first.
std::vector<TrashEntry> restorableEntries(const std::string& trash)
{
    std::vector<TrashEntry> entries;
    for (const std::string& name : namesIn(trash)) {
        std::string path = trash + name + "/";
        std::string bytes;
        TrashEntry entry{path, {}};
        if (!isPlainDirectory(path) ||
            !platform::readWholeFile(path + tviSnapshotFiles::originName, bytes) ||
            !tviSnapshotFiles::readOrigin(bytes, entry.origin))
            continue;
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const TrashEntry& a, const TrashEntry& b) {
        return a.origin.deleted > b.origin.deleted;
    });
    return entries;
}

// The child of parent whose directory is dirName, or null.
tviTreeViewItem* childByDirName(ctrlTreeView* tree, TreeNode parent, const std::string& dirName)
{
    for (TreeNode c = tree->getFirstChild(parent); c != nullptr; c = tree->getNextSibling(c)) {
        tviTreeViewItem* child = tree->getItem(c);
        if (auto* folder = dynamic_cast<tviPSSFolder*>(child);
            folder != nullptr && folder->getDirName() == dirName)
            return child;
        if (auto* item = dynamic_cast<tviPSSItem*>(child);
            item != nullptr && item->getDirName() == dirName)
            return child;
    }
    return nullptr;
}

} // namespace

bool tviPageSnapshot::canRestoreFromTrash() const
{
    return !restorableEntries(getTrashPath()).empty();
}

bool tviPageSnapshot::hasTrash() const
{
    return !namesIn(getTrashPath()).empty();
}

tviTreeViewItem* tviPageSnapshot::restoreLatestFromTrash()
{
    std::vector<TrashEntry> entries = restorableEntries(getTrashPath());
    if (entries.empty())
        return nullptr;
    const TrashEntry& latest = entries.front();
    // The folder it stood in, as far as it still exists.
    tviTreeViewItem* parent = this;
    std::string rest = latest.origin.parent;
    while (!rest.empty()) {
        std::size_t slash = rest.find('/');
        tviTreeViewItem* folder =
            childByDirName(tree(), parent->getHandle(), rest.substr(0, slash + 1));
        if (dynamic_cast<tviPSSFolder*>(folder) == nullptr)
            break;
        parent = folder;
        rest.erase(0, slash + 1);
    }
    std::string parentPath = fullPathOf(parent);
    std::string dirName = latest.origin.dirName;
    if (parentPath.empty() || !restoreFromTrash(latest.path, parentPath, dirName))
        return nullptr;
    tviTreeViewItem* before =
        latest.origin.after.empty()
            ? nullptr
            : childByDirName(tree(), parent->getHandle(), latest.origin.after);
    TreeNode after = before != nullptr ? before->getHandle() : kTreeFirst;
    tviTreeViewItem* restored = nullptr;
    if (latest.origin.folder) {
        auto* folder =
            static_cast<tviPSSFolder*>(tree()->adopt(std::make_unique<tviPSSFolder>(tree())));
        folder->setName(latest.origin.name);
        folder->setDirName(dirName);
        restored = folder;
        if (folder->insertItem(parent->getHandle(), after))
            folder->load(parentPath + dirName);
    } else {
        auto* item = static_cast<tviPSSItem*>(tree()->adopt(std::make_unique<tviPSSItem>(tree())));
        item->setName(latest.origin.name);
        item->setDirName(dirName);
        item->load(parentPath + dirName);
        restored = item;
        item->insertItem(parent->getHandle(), after);
    }
    if (restored->getHandle() == nullptr) {
        tree()->destroyItem(restored);
        logError(parentPath + dirName);
        return nullptr;
    }
    tree()->setOverlay(restored->getHandle(), restored->overlayFor());
    tree()->selectNode(restored->getHandle());
    // As for a new snapshot: a failed write of the list is logged and tried again later.
    (void)save();
    return restored;
}

bool tviPageSnapshot::cmdEmptyTrash(bool query, bool* enabled)
{
    *enabled = hasTrash();
    if (!*enabled || query)
        return true;
    if (!tree()->askYesNo(emptyTrashQuestion, "Quillara", tviButtons::yesNo))
        return true;
    // The last deletion can no longer come back from the trash.
    tviTreeViewItem* buffered = tree()->deletedItem();
    if (dynamic_cast<tviPSSFolder*>(buffered) != nullptr ||
        dynamic_cast<tviPSSItem*>(buffered) != nullptr)
        tree()->bufferDeletion(nullptr, kTreeRoot, kTreeFirst);
    return emptyTrash();
}

bool tviPageSnapshot::emptyTrash() const
{
    bool ok = true;
    std::string trash = getTrashPath();
    for (const std::string& name : namesIn(trash)) {
        std::string path = trash + name;
        if (isPlainDirectory(path))
            ok = deleteDirectoryTree(path, trash) && ok;
        else
            ok = ::unlink(path.c_str()) == 0 && ok;
    }
    return ok;
}

bool tviPageSnapshot::cmdNewFolder(bool query, bool* enabled)
{
    *enabled = true;
    if (!query)
        tree()->openDialog(tviDialog::newFolder, this, newFolderName);
    return true;
}

bool tviPageSnapshot::cmdNewFolderConfirmed(bool query, bool* enabled)
{
    *enabled = true;
    if (query || !tree()->dialogData.confirmed)
        return true;
    const tviDialogData& data = tree()->dialogData;
    std::string dirName = makeDirectory(folderPath_, data.name);
    if (dirName.empty())
        return logError(data.name);
    auto* folder =
        static_cast<tviPSSFolder*>(tree()->adopt(std::make_unique<tviPSSFolder>(tree())));
    folder->setName(data.name);
    folder->setDirName(dirName);
    folder->setDescription(data.description);
    folder->setMarked(data.marked);
    if (!folder->insertItem(getHandle(), kTreeFirst)) {
        tree()->destroyItem(folder);
        return false;
    }
    tree()->expand(getHandle(), true);
    tree()->selectNode(folder->getHandle());
    return save();
}

bool tviPageSnapshot::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query)
        tree()->openDialog(tviDialog::properties, this, getCabinetName() + propertiesSuffix);
    return true;
}

void tviPageSnapshot::applySettings(const utlIniInfo& ini)
{
    setLimitDay(ini.getInt(IniKey::EPLimitDay));
    setColorDay(ini.getInt(IniKey::EPLimitColor));
    setMarkColor(ini.getInt(IniKey::PageMarkColor));
    ageing().setColourOn(ini.getInt(IniKey::CPLimitColor) != 0);
    ageing().setDeleteOn(ini.getInt(IniKey::CPLimitDay) != 0);
    if (getHandle() != nullptr)
        tree()->refreshNode(getHandle());
}

tviPageSnapshot* tviPageSnapshot::openDefault(ctrlTreeView* tree, const std::string& dataDir,
                                              const utlIniInfo* ini)
{
    tviPageSnapshot* cabinet = makeCabinet(tree);
    cabinet->setFolderPath(dataDir + "Snapshot/");
    if (ini != nullptr)
        cabinet->applySettings(*ini);
    // Behind the first root node and the user's cabinets that follow it, and behind the
    // footprint cabinet when it comes next.
    TreeNode after = tree->getFirstChild(kTreeRoot);
    if (after != nullptr) {
        for (TreeNode n = tree->getNextSibling(after); n != nullptr; n = tree->getNextSibling(n)) {
            tviTreeViewItem* item = tree->getItem(n);
            if (item == nullptr || item->getType() != typeCabinet)
                break;
            after = n;
        }
        TreeNode next = tree->getNextSibling(after);
        tviTreeViewItem* nextItem = next != nullptr ? tree->getItem(next) : nullptr;
        if (nextItem != nullptr && nextItem->getType() == typeRouteSnapshot)
            after = next;
    }
    if (!cabinet->insertItem(kTreeRoot, after == nullptr ? kTreeFirst : after)) {
        tree->destroyItem(cabinet);
        return nullptr;
    }
    tree->setSnapshotCabinet(cabinet);
    cabinet->load();
    if (tree->getFirstChild(cabinet->getHandle()) != nullptr)
        tree->expand(cabinet->getHandle(), true);
    return cabinet;
}

// --- Moving and copying folders and snapshots ---

namespace {

std::string dirNameOf(const tviTreeViewItem* item)
{
    if (const auto* folder = dynamic_cast<const tviPSSFolder*>(item))
        return folder->getDirName();
    if (const auto* snapshot = dynamic_cast<const tviPSSItem*>(item))
        return snapshot->getDirName();
    return {};
}

void setDirNameOf(tviTreeViewItem* item, const std::string& dirName)
{
    if (auto* folder = dynamic_cast<tviPSSFolder*>(item))
        folder->setDirName(dirName);
    else if (auto* snapshot = dynamic_cast<tviPSSItem*>(item))
        snapshot->setDirName(dirName);
}

bool isEntry(const tviTreeViewItem* item)
{
    return dynamic_cast<const tviPSSFolder*>(item) != nullptr ||
           dynamic_cast<const tviPSSItem*>(item) != nullptr;
}

// A path inside the cabinet's directory as a plan names it: plain components only; the first
// may be the trash, where copies are made before they are put in place.
bool isPlanPath(const std::string& path)
{
    if (path.empty() || path.size() > 4096)
        return false;
    std::size_t start = 0;
    for (bool first = true; start <= path.size(); first = false) {
        std::size_t slash = path.find('/', start);
        std::string part =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        bool trash = first && part == tviSnapshotFiles::trashName;
        if (!trash && !tviSnapshotFiles::isSafeDirectoryName(part))
            return false;
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
    return false;
}

void putField(std::string& out, const std::string& field)
{
    out += field;
    out += '\0';
}

// Copies a directory tree; links and special files are left out, so nothing outside is read.
bool copyTree(const std::string& from, const std::string& to)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::create_directory(to, error))
        return false;
    for (fs::recursive_directory_iterator it(from, error), end; !error && it != end;
         it.increment(error)) {
        fs::file_status status = it->symlink_status(error);
        std::string target = to + "/" + fs::relative(it->path(), from, error).string();
        if (fs::is_directory(status)) {
            fs::create_directory(target, error);
        } else if (fs::is_regular_file(status) &&
                   it->path().filename() != tviSnapshotFiles::originName) {
            fs::copy_file(it->path(), target, error);
        } else if (fs::is_symlink(status)) {
            it.disable_recursion_pending();
        }
        if (error)
            return false;
    }
    return !error;
}

} // namespace

bool tviPageSnapshot::isSettled(const tviTreeViewItem* item)
{
    if (item == nullptr || item->getHandle() == nullptr)
        return false;
    for (TreeNode n : item->tree()->subtreeNodes(item->getHandle())) {
        auto* snapshot = dynamic_cast<tviPSSItem*>(item->tree()->getItem(n));
        if (snapshot != nullptr && snapshot->getDownloadState() != 0)
            return false;
    }
    return true;
}

std::string tviPageSnapshot::relative(const std::string& path) const
{
    return path.starts_with(folderPath_) ? path.substr(folderPath_.size()) : std::string();
}

std::string tviPageSnapshot::listOf(const tviTreeViewItem* parent)
{
    std::vector<tviSnapshotListEntry> entries;
    ctrlTreeView* tree = parent->tree();
    for (TreeNode c = tree->getFirstChild(parent->getHandle()); c != nullptr;
         c = tree->getNextSibling(c)) {
        tviTreeViewItem* child = tree->getItem(c);
        if (auto* folder = dynamic_cast<tviPSSFolder*>(child))
            entries.push_back({true, folder->getDirName(), folder->getName()});
        else if (auto* snapshot = dynamic_cast<tviPSSItem*>(child))
            entries.push_back({false, snapshot->getDirName(), snapshot->getName()});
    }
    return tviSnapshotFiles::writeList(entries);
}

std::string tviPageSnapshot::freeDirName(const std::string& parentPath,
                                         const std::string& dirName) const
{
    std::string base = withoutSlash(dirName);
    std::string name = base;
    for (int n = 0; exists(parentPath + name) && n < 100000; ++n)
        name = base + "(" + std::to_string(n) + ")";
    return name + "/";
}

// The plan goes to disk (synced) before anything changes; from then on a kill leaves work
// that the next open finishes.
bool tviPageSnapshot::commitPlan(const Plan& plan) const
{
    std::string journal;
    for (const auto& [from, to] : plan.renames) {
        putField(journal, "R");
        putField(journal, from);
        putField(journal, to);
    }
    for (const auto& [path, bytes] : plan.lists) {
        putField(journal, "L");
        putField(journal, path);
        putField(journal, bytes);
    }
    std::string error;
    if (!platform::atomicWriteFile(journalPath(), journal, &error))
        return logError(std::string(msgSaveFailed) + " " + journalPath() + " " + error);
    if (stopAfterStep != nullptr && stopAfterStep(1))
        return true;
    return carryOut(plan, false);
}

bool tviPageSnapshot::carryOut(const Plan& plan, bool replaying) const
{
    for (const auto& [from, to] : plan.renames) {
        std::string source = folderPath_ + from;
        std::string target = folderPath_ + to;
        // Replayed: a move that was done before the kill is not done again.
        if (exists(target) && !exists(source))
            continue;
        if (!replaying && (exists(target) || std::rename(source.c_str(), target.c_str()) != 0)) {
            logError(source + " " + std::strerror(errno));
            ::unlink(journalPath().c_str());
            return false;
        }
        if (replaying && !exists(target) && std::rename(source.c_str(), target.c_str()) != 0)
            logError(source + " " + std::strerror(errno));
    }
    if (stopAfterStep != nullptr && stopAfterStep(2))
        return true;
    bool ok = true;
    for (const auto& [path, bytes] : plan.lists) {
        std::string error;
        if (!platform::atomicWriteFile(folderPath_ + path, bytes, &error))
            ok = logError(std::string(msgSaveFailed) + " " + path + " " + error);
    }
    if (stopAfterStep != nullptr && stopAfterStep(3))
        return true;
    // A List that could not be written is written again at the next open.
    if (ok)
        ::unlink(journalPath().c_str());
    return true;
}

bool tviPageSnapshot::replayPlan() const
{
    std::string journal;
    if (!exists(journalPath()) || !platform::readWholeFile(journalPath(), journal))
        return true;
    Plan plan;
    std::vector<std::string> fields;
    for (std::size_t pos = 0; pos < journal.size();) {
        std::size_t nul = journal.find('\0', pos);
        if (nul == std::string::npos)
            break;
        fields.push_back(journal.substr(pos, nul - pos));
        pos = nul + 1;
    }
    bool valid = fields.size() % 3 == 0;
    for (std::size_t i = 0; valid && i < fields.size(); i += 3) {
        const std::string& kind = fields[i];
        if (kind == "R" && isPlanPath(fields[i + 1]) && isPlanPath(fields[i + 2]))
            plan.renames.emplace_back(fields[i + 1], fields[i + 2]);
        else if (kind == "L" && isPlanPath(fields[i + 1]) && fields[i + 1].ends_with("List"))
            plan.lists.emplace_back(fields[i + 1], fields[i + 2]);
        else
            valid = false;
    }
    if (!valid) {
        ::unlink(journalPath().c_str());
        return logError(std::string(msgRefused) + " " + journalPath());
    }
    return carryOut(plan, true);
}

bool tviPageSnapshot::moveEntry(tviTreeViewItem* item, TreeNode parent, TreeNode after)
{
    tviTreeViewItem* oldParent = item->parentItem();
    tviTreeViewItem* newParent = tree()->getItem(parent);
    if (oldParent == nullptr || newParent == nullptr || !isSettled(item))
        return false;
    std::string oldDir = dirNameOf(item);
    std::string oldPath = fullPathOf(item);
    TreeNode oldPrevious = tree()->getPrevSibling(item->getHandle());
    bool sameParent = oldParent == newParent;
    std::string newParentPath = fullPathOf(newParent);
    std::string newDir = sameParent ? oldDir : freeDirName(newParentPath, oldDir);
    if (!item->moveTo(parent, after))
        return false;
    setDirNameOf(item, newDir);
    Plan plan;
    if (!sameParent)
        plan.renames.emplace_back(relative(withoutSlash(oldPath)),
                                  relative(newParentPath + withoutSlash(newDir)));
    plan.lists.emplace_back(relative(newParentPath + "List"), listOf(newParent));
    if (!sameParent)
        plan.lists.emplace_back(relative(fullPathOf(oldParent) + "List"), listOf(oldParent));
    if (!commitPlan(plan)) {
        setDirNameOf(item, oldDir);
        item->moveTo(oldParent->getHandle(), oldPrevious != nullptr ? oldPrevious : kTreeFirst);
        return false;
    }
    // The snapshots below now open from their new place.
    for (TreeNode n : tree()->subtreeNodes(item->getHandle()))
        if (auto* snapshot = dynamic_cast<tviPSSItem*>(tree()->getItem(n)))
            tree()->addressChanged(snapshot);
    return true;
}

tviTreeViewItem* tviPageSnapshot::copyEntry(tviTreeViewItem* item, TreeNode parent, TreeNode after)
{
    tviTreeViewItem* newParent = tree()->getItem(parent);
    if (newParent == nullptr || !isSettled(item) || !isEntry(item))
        return nullptr;
    std::string sourcePath = fullPathOf(item);
    // The records on disk are what the copy reads back.
    // A record that cannot be written is logged; the copy takes the one last written.
    if (auto* folder = dynamic_cast<tviPSSFolder*>(item))
        (void)folder->save(sourcePath);
    else
        static_cast<tviPSSItem*>(item)->save(sourcePath);
    std::string trash = getTrashPath();
    ::mkdir(withoutSlash(trash).c_str(), 0755);
    std::string staging;
    for (unsigned n = 1; staging.empty() || exists(staging); ++n)
        staging = trash + ".copy" + std::to_string(n);
    if (!copyTree(withoutSlash(sourcePath), staging)) {
        (void)deleteDirectoryTree(staging, trash); // what is left stays in the trash
        logError(sourcePath);
        return nullptr;
    }
    std::string parentPath = fullPathOf(newParent);
    std::string dirName = freeDirName(parentPath, dirNameOf(item));
    std::unique_ptr<tviTreeViewItem> made;
    if (auto* folder = dynamic_cast<tviPSSFolder*>(item)) {
        auto copy = std::make_unique<tviPSSFolder>(tree());
        copy->setName(folder->getName());
        made = std::move(copy);
    } else {
        auto copy = std::make_unique<tviPSSItem>(tree());
        copy->setName(static_cast<tviPSSItem*>(item)->getName());
        made = std::move(copy);
    }
    tviTreeViewItem* copy = tree()->adopt(std::move(made));
    setDirNameOf(copy, dirName);
    Plan plan;
    bool ok = copy->insertItem(parent, after);
    if (ok) {
        plan.renames.emplace_back(relative(staging), relative(parentPath + withoutSlash(dirName)));
        plan.lists.emplace_back(relative(parentPath + "List"), listOf(newParent));
        ok = commitPlan(plan);
    }
    if (!ok) {
        copy->deleteSubtree();
        tree()->destroyItem(copy);
        (void)deleteDirectoryTree(staging, trash); // what is left stays in the trash
        return nullptr;
    }
    if (auto* folder = dynamic_cast<tviPSSFolder*>(copy))
        folder->load(parentPath + dirName);
    else
        static_cast<tviPSSItem*>(copy)->load(parentPath + dirName);
    tree()->setOverlay(copy->getHandle(), copy->overlayFor());
    tree()->selectNode(copy->getHandle());
    return copy;
}

bool tviPageSnapshot::clipEntry(tviTreeViewItem* item, tviClipMode mode, bool query, bool* enabled)
{
    *enabled = isEntry(item) && isSettled(item);
    if (*enabled && !query)
        tree()->setClipboard(item, mode);
    return true;
}

bool tviPageSnapshot::pasteOnto(tviTreeViewItem* target, bool query, bool* enabled)
{
    *enabled = false;
    tviTreeViewItem* entry = tree()->clipboardItem();
    if (entry == nullptr || target == nullptr || target->getHandle() == nullptr ||
        !isEntry(entry) || cabinetOf(entry) != this || !isSettled(entry) ||
        tree()->isInSubtree(target->getHandle(), entry->getHandle()))
        return true;
    TreeNode parent = tree()->getParent(target->getHandle());
    TreeNode after = target->getHandle();
    bool folder = dynamic_cast<tviPSSFolder*>(target) != nullptr;
    if (target == this) {
        parent = getHandle();
        after = kTreeFirst;
    } else if (folder && (tree()->getFirstChild(target->getHandle()) == nullptr ||
                          tree()->isExpanded(target->getHandle()))) {
        parent = target->getHandle();
        after = kTreeFirst;
    }
    *enabled = true;
    if (query)
        return true;
    if (folder) {
        switch (tree()->choosePastePlace()) {
        case tviPastePlace::inside:
            parent = target->getHandle();
            after = kTreeFirst;
            break;
        case tviPastePlace::below:
            parent = tree()->getParent(target->getHandle());
            after = target->getHandle();
            break;
        case tviPastePlace::cancel: return true;
        case tviPastePlace::automatic: break;
        }
    }
    bool cut = tree()->clipboardMode() == tviClipMode::cut;
    bool ok = cut ? moveEntry(entry, parent, after) : copyEntry(entry, parent, after) != nullptr;
    if (ok)
        tree()->clearClipboard();
    return ok;
}

bool tviPageSnapshot::cmdPaste(bool query, bool* enabled)
{
    return pasteOnto(this, query, enabled);
}

// Moves walk into and out of folders: into a folder that is empty or open, over a closed one,
// out of a folder at its edge; never out of the cabinet.
bool tviPageSnapshot::stepEntry(tviTreeViewItem* item, bool up, bool query, bool* enabled)
{
    *enabled = false;
    if (!isEntry(item) || !isSettled(item))
        return true;
    std::optional<utlTreePlace> place = stepPlace(*tree(), item->getHandle(), up, typePSSFolder);
    if (!place)
        return true;
    *enabled = true;
    return query || moveEntry(item, place->parent, place->after);
}

std::string tviPageSnapshot::proposeSnapshotName(const std::string& text, const std::string& title,
                                                 const std::string& address) const
{
    return tviSnapshotFiles::proposeName(text, title, address);
}

tviTreeViewItem* tviPageSnapshot::keepSnapshot(const std::string& url,
                                               const std::string& description,
                                               const std::string& name, bool autoDelete)
{
    return takeSnapshot(url, description, name, autoDelete);
}
