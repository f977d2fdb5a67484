#include "TreeViewItem/Snapshot/tviPageSnapshot.h"

#include "Common/utlIniInfo.h"
#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Engine/Url/utlFileSystem.h"
#include "Platform/AtomicFile.h"
#include "Platform/SafePath.h"
#include "TreeViewItem/Snapshot/tviPSSFolder.h"
#include "TreeViewItem/Snapshot/tviPSSItem.h"
#include "TreeViewItem/Formats/tviSnapshotFiles.h"

#include <cerrno>
#include <dirent.h>
#include <memory>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredPageSnapshot =
    tviTreeViewItem::registerFactory(typePageSnapshot, tviTreeViewItem::make<tviPageSnapshot>);

namespace {

// スナップショット キャビネット
const char* const cabinetName =
    "\x83X\x83i\x83" "b\x83v\x83V\x83\x87\x83" "b\x83g \x83L\x83\x83\x83r\x83l\x83" "b\x83g";
// スナップショット専用です。
const char* const cabinetDescription =
    "\x83X\x83i\x83" "b\x83v\x83V\x83\x87\x83" "b\x83g\x90\xEA\x97p\x82\xC5\x82\xB7\x81\x42";
// のプロパティ
const char* const propertiesSuffix = "\x82\xcc\x83\x76\x83\x8d\x83\x70\x83\x65\x83\x42";
// 新規フォルダ
const char* const newFolderName = "\x90\x56\x8b\x4b\x83\x74\x83\x48\x83\x8b\x83\x5f";
// 不正なディレクトリ名を読み飛ばしました
const char* const msgRefused =
    "\x95s\x90\xB3\x82\xC8\x83" "f\x83" "B\x83\x8C\x83N\x83g\x83\x8A\x96\xBC\x82\xF0\x93\xC7\x82\xDD\x94\xF2\x82\xCE\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// ファイルの保存に失敗しました
const char* const msgSaveFailed =
    "\x83t\x83" "@\x83" "C\x83\x8B\x82\xCC\x95\xDB\x91\xB6\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// 削除できないフォルダです
const char* const msgRefusedDelete = "\x8D\xED\x8F\x9C\x82\xC5\x82\xAB\x82\xC8\x82\xA2\x83t\x83H\x83\x8B\x83_\x82\xC5\x82\xB7";

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
    case tviCommand::deleteItem:
    case tviCommand::cut:
    case tviCommand::copy:
    case tviCommand::moveUp:
    case tviCommand::moveDown:
    case tviCommand::newItem:
    case tviCommand::takeSnapshot:
    case tviCommand::takeFootprint:
        handled = false;
        return true;
    default:
        return tviTreeViewItem::executeCommand(code, query, handled);
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
    return loadChildren(this, folderPath_);
}

bool tviPageSnapshot::save()
{
    return saveChildren(this, folderPath_);
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
    if (!platform::readWholeFile(listPath, bytes))
        return logError("tviPageSnapshot::load", listPath);
    std::size_t refused = 0;
    std::vector<tviSnapshotListEntry> entries = tviSnapshotFiles::readList(bytes, &refused);
    if (refused > 0)
        logError("tviPageSnapshot::load", std::string(msgRefused) + " (" + std::to_string(refused) + ") " + listPath);
    ctrlTreeView* tree = parent->tree();
    bool ok = true;
    for (const tviSnapshotListEntry& entry : entries) {
        std::string childPath = path + entry.dirName;
        // A directory that is a link, or that does not exist, is not followed.
        if (!isPlainDirectory(childPath) || !platform::isPathInside(path, childPath)) {
            logError("tviPageSnapshot::load", std::string(msgRefused) + " " + childPath);
            continue;
        }
        if (entry.folder) {
            auto* folder = static_cast<tviPSSFolder*>(tree->adopt(std::make_unique<tviPSSFolder>(tree)));
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
    for (TreeNode c = tree->getFirstChild(parent->getHandle()); c != nullptr; c = tree->getNextSibling(c))
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
            if (cabinet->moveToTrash(path + item->getDirName(), trashPath)) {
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
        return logError("tviPageSnapshot::save", std::string(msgSaveFailed) + " " + path + "List " + error);
    return ok;
}

std::string tviPageSnapshot::makeDirectory(const std::string& parentPath, const std::string& name) const
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
        logError("tviPageSnapshot::addSnapshot", folderPath_ + name);
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
    save();
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

bool tviPageSnapshot::moveToTrash(const std::string& path, std::string& trashPath) const
{
    std::string from = withoutSlash(path);
    if (!isPlainDirectory(from) || !platform::isPathInside(folderPath_, from) ||
        platform::isPathInside(getTrashPath(), from))
        return logError("tviPageSnapshot::moveToTrash", std::string(msgRefusedDelete) + " " + from);
    std::string trash = getTrashPath();
    ::mkdir(withoutSlash(trash).c_str(), 0755);
    for (unsigned n = 1; n < 1000000; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "SSI%X.tmp", n);
        std::string target = trash + name;
        if (exists(target))
            continue;
        if (std::rename(from.c_str(), target.c_str()) != 0)
            return logError("tviPageSnapshot::moveToTrash", from + " " + std::strerror(errno));
        trashPath = target + "/";
        return true;
    }
    return false;
}

bool tviPageSnapshot::restoreFromTrash(const std::string& trashPath, const std::string& parentPath,
                                       std::string& dirName) const
{
    std::string from = withoutSlash(trashPath);
    if (!isPlainDirectory(from) || !platform::isPathInside(getTrashPath(), from))
        return logError("tviPageSnapshot::restoreFromTrash", from);
    std::string base = withoutSlash(dirName);
    std::string name = base;
    for (int n = 0; exists(parentPath + name); ++n)
        name = base + "(" + std::to_string(n) + ")";
    if (std::rename(from.c_str(), (parentPath + name).c_str()) != 0)
        return logError("tviPageSnapshot::restoreFromTrash", from + " " + std::strerror(errno));
    dirName = name + "/";
    return true;
}

bool tviPageSnapshot::emptyTrash() const
{
    bool ok = true;
    std::string trash = getTrashPath();
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(trash.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    for (const std::string& name : names) {
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
        return logError("tviPageSnapshot::cmdNewFolderConfirmed", data.name);
    auto* folder = static_cast<tviPSSFolder*>(tree()->adopt(std::make_unique<tviPSSFolder>(tree())));
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

tviPageSnapshot* tviPageSnapshot::openDefault(ctrlTreeView* tree, const std::string& dataDir, const utlIniInfo* ini)
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

tviTreeViewItem* tviPageSnapshot::keepSnapshot(const std::string& url, const std::string& description,
                                               const std::string& name, bool autoDelete)
{
    return takeSnapshot(url, description, name, autoDelete);
}
