#include "TreeViewItem/Snapshot/tviPSSItem.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Snapshot/clsSnapshotReport.h"
#include "Platform/AtomicFile.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"
#include "TreeViewItem/Formats/tviSnapshotFiles.h"

#include <cerrno>
#include <sys/stat.h>

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredPSSItem =
    tviTreeViewItem::registerFactory(typePSSItem, tviTreeViewItem::make<tviPSSItem>);

namespace {

const char* const labelStarted = utlTexts::sjis(utlText::downloadStarted);
const char* const labelDownloading = utlTexts::sjis(utlText::downloading);
const char* const propertiesSuffix = utlTexts::sjis(utlText::propertiesOf);
const char* const textFailed = utlTexts::sjis(utlText::pageNotSaved);
const char* const textSaved = utlTexts::sjis(utlText::saved);

} // namespace

tviPSSItem::tviPSSItem(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviPSSItem");
}

tviPSSItem::~tviPSSItem()
{
    countDestroyed("tviPSSItem");
}

std::string tviPSSItem::getText() const
{
    return downloadState_ != 0 ? stateLabel_ : name_;
}

std::string tviPSSItem::getFullPath() const
{
    return tviPageSnapshot::fullPathOf(this);
}

std::string tviPSSItem::getUrl() const
{
    if (top_.empty() || getHandle() == nullptr)
        return {};
    std::string path = getFullPath();
    return path.empty() ? std::string() : path + top_;
}

bool tviPSSItem::isSpecial() const
{
    const tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    return cabinet != nullptr && cabinet->ageing().isColoured(created_);
}

bool tviPSSItem::isExpired() const
{
    const tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    return cabinet != nullptr && cabinet->ageing().isExpired(created_, autoDelete_);
}

void tviPSSItem::getStatusText(std::string& text, bool& isError) const
{
    isError = failed_;
    text = failed_ ? textFailed : (downloadState_ != 0 ? stateLabel_ : std::string(textSaved));
}

void tviPSSItem::setTop(const std::string& top)
{
    top_ = top;
    tree()->addressChanged(this);
}

bool tviPSSItem::load(const std::string& path)
{
    std::string bytes;
    if (!platform::readSavedFile(path + "snapshot", bytes))
        return true; // a missing file leaves the defaults
    tviSnapshotRecord record = tviSnapshotFiles::readRecord(bytes, false);
    description_ = record.description;
    setMarked(record.mark);
    source_ = record.source;
    // A top name that is not a plain file name of the directory is not followed.
    top_ = tviSnapshotFiles::isSafeDirectoryName(record.top) && record.top.back() != '/'
               ? record.top
               : std::string();
    created_ = record.created;
    autoDelete_ = record.autoDelete;
    // A snapshot whose page was never saved shows as failed after a restart too.
    failed_ = top_.empty();
    return true;
}

bool tviPSSItem::save(const std::string& path) const
{
    tviSnapshotRecord record;
    record.description = description_;
    record.mark = isMarked();
    record.source = source_;
    record.top = top_;
    record.created = created_;
    record.autoDelete = autoDelete_;
    // A directory removed by hand has nothing left to describe: the entry stays in the list
    // (the directory may come back), and the saves of the others go on.
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) {
        logError(path + " is gone; its record is not written");
        return true;
    }
    std::string error;
    if (!platform::atomicWriteFile(path + "snapshot", tviSnapshotFiles::writeRecord(record, false),
                                   &error))
        return logError(path + "snapshot " + error);
    return true;
}

bool tviPSSItem::beginDownload()
{
    downloadState_ = 1;
    failed_ = false;
    stateLabel_ = labelStarted + name_;
    refreshText();
    return true;
}

bool tviPSSItem::setDownloading()
{
    downloadState_ = 2;
    stateLabel_ = labelDownloading + name_;
    refreshText();
    return true;
}

bool tviPSSItem::endDownload()
{
    downloadState_ = 0;
    stateLabel_.clear();
    snapshotId_ = -1;
    refreshText();
    return true;
}

void tviPSSItem::markFailed()
{
    failed_ = true;
    endDownload();
    tree()->setOverlay(getHandle(), overlayFor());
    std::string path = getFullPath();
    if (!path.empty())
        save(path);
}

bool tviPSSItem::onSnapshotNotify(const clsSnapshotReport& report, clsSnapshotPhase phase)
{
    if (report.topSaved && top_.empty())
        setTop(report.topName);
    if (phase == clsSnapshotPhase::saved)
        return setDownloading();
    failed_ = !report.topSaved;
    endDownload();
    tree()->setOverlay(getHandle(), overlayFor());
    std::string path = getFullPath();
    return path.empty() || save(path);
}

bool tviPSSItem::executeCommand(int code, bool query, bool& handled)
{
    using enum utlCommand;
    switch (static_cast<utlCommand>(code)) {
    case newItem:
    case takeSnapshot:
    case takeFootprint:
    case expand:
    case reExpand:
    case expandAll: handled = false; return true;
    case emptySnapshotTrash:
        if (tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this))
            return cabinet->executeCommand(code, query, handled);
        handled = false;
        return true;
    default: break;
    }
    return tviTreeViewItem::executeCommand(code, query, handled);
}

// A snapshot that is downloading cannot be deleted; the directory goes to the trash, from
// where undo delete brings it back.
bool tviPSSItem::cmdDelete(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    *enabled = downloadState_ == 0 && cabinet != nullptr;
    if (!*enabled || query)
        return true;
    TreeNode parent = tree()->getParent(getHandle());
    TreeNode previous = tree()->getPrevSibling(getHandle());
    std::string trashPath;
    struct stat st {};
    std::string path = getFullPath();
    bool gone = !path.empty() && ::lstat(path.substr(0, path.size() - 1).c_str(), &st) != 0 &&
                errno == ENOENT;
    tviTrashOrigin origin = cabinet->originOf(this);
    // A directory removed by hand leaves only the entry to remove.
    if (!gone && !cabinet->moveToTrash(path, trashPath, &origin))
        return false;
    trashPath_ = trashPath;
    deleteSubtree();
    tree()->bufferDeletion(this, parent, previous);
    return cabinet->save();
}

bool tviPSSItem::insertAndLoad(TreeNode parent, TreeNode insertAfter)
{
    if (trashPath_.empty() || !insertItem(parent, insertAfter))
        return false;
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    tviTreeViewItem* parentItem = tree()->getItem(parent);
    std::string parentPath =
        parentItem != nullptr ? tviPageSnapshot::fullPathOf(parentItem) : std::string();
    std::string dirName = dirName_;
    if (cabinet == nullptr || parentPath.empty() ||
        !cabinet->restoreFromTrash(trashPath_, parentPath, dirName)) {
        failed_ = true;
        tree()->setOverlay(getHandle(), overlayFor());
        return true;
    }
    dirName_ = dirName;
    trashPath_.clear();
    tree()->addressChanged(this);
    return cabinet->save();
}

bool tviPSSItem::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query)
        tree()->openDialog(tviDialog::properties, this, name_ + propertiesSuffix);
    return true;
}

bool tviPSSItem::applyProperties(const tviDialogData& data)
{
    name_ = data.name;
    description_ = data.description;
    setMarked(data.marked);
    autoDelete_ = data.autoDelete;
    refreshText();
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    return cabinet == nullptr || cabinet->save();
}

bool tviPSSItem::cmdNewFolder(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    if (cabinet == nullptr) {
        *enabled = false;
        return true;
    }
    bool handled = false;
    bool ok = cabinet->executeCommand(codeOf(utlCommand::newFolder), query, handled);
    *enabled = handled;
    return ok;
}

bool tviPSSItem::cmdNewFolderConfirmed(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    if (cabinet == nullptr) {
        *enabled = false;
        return true;
    }
    bool handled = false;
    bool ok = cabinet->executeCommand(codeOf(utlCommand::newFolderConfirmed), query, handled);
    *enabled = handled;
    return ok;
}

// Cut, copy, paste and moves are the cabinet's: they take the directory along.
bool tviPSSItem::cmdCut(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    *enabled = false;
    return cabinet == nullptr || cabinet->clipEntry(this, tviClipMode::cut, query, enabled);
}

bool tviPSSItem::cmdCopy(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    *enabled = false;
    return cabinet == nullptr || cabinet->clipEntry(this, tviClipMode::copy, query, enabled);
}

bool tviPSSItem::cmdPaste(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    *enabled = false;
    return cabinet == nullptr || cabinet->pasteOnto(this, query, enabled);
}

bool tviPSSItem::cmdMoveUp(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    *enabled = false;
    return cabinet == nullptr || cabinet->stepEntry(this, true, query, enabled);
}

bool tviPSSItem::cmdMoveDown(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    *enabled = false;
    return cabinet == nullptr || cabinet->stepEntry(this, false, query, enabled);
}
