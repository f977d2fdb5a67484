#include "TreeViewItem/Snapshot/tviPSSFolder.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Platform/AtomicFile.h"
#include "TreeViewItem/Snapshot/tviPSSItem.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"
#include "TreeViewItem/Formats/tviSnapshotFiles.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredPSSFolder =
    tviTreeViewItem::registerFactory(typePSSFolder, tviTreeViewItem::make<tviPSSFolder>);

namespace {

const char* const propertiesSuffix = utlTexts::sjis(utlText::propertiesOf);

} // namespace

tviPSSFolder::tviPSSFolder(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviPSSFolder");
}

tviPSSFolder::~tviPSSFolder()
{
    countDestroyed("tviPSSFolder");
}

int tviPSSFolder::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageFolderOpen : imageFolderClosed;
}

std::string tviPSSFolder::getFullPath() const
{
    return tviPageSnapshot::fullPathOf(this);
}

bool tviPSSFolder::load(const std::string& path)
{
    std::string bytes;
    if (platform::readSavedFile(path + "snapshot", bytes)) {
        tviSnapshotRecord record = tviSnapshotFiles::readRecord(bytes, true);
        description_ = record.description;
        setMarked(record.mark);
    }
    return tviPageSnapshot::loadChildren(this, path);
}

bool tviPSSFolder::save(const std::string& path)
{
    tviSnapshotRecord record;
    record.description = description_;
    record.mark = isMarked();
    std::string error;
    bool ok = platform::atomicWriteFile(path + "snapshot",
                                        tviSnapshotFiles::writeRecord(record, true), &error);
    if (!ok)
        logError(path + "snapshot " + error);
    return tviPageSnapshot::saveChildren(this, path) && ok;
}

bool tviPSSFolder::executeCommand(int code, bool query, bool& handled)
{
    using enum utlCommand;
    switch (static_cast<utlCommand>(code)) {
    case newItem:
    case takeSnapshot:
    case takeFootprint: handled = false; return true;
    case emptySnapshotTrash:
        if (tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this))
            return cabinet->executeCommand(code, query, handled);
        handled = false;
        return true;
    default: return tviTreeViewItem::executeCommand(code, query, handled);
    }
}

bool tviPSSFolder::cmdDelete(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    *enabled = cabinet != nullptr;
    // A folder with a snapshot still downloading keeps its directory where the download goes.
    for (TreeNode n : tree()->subtreeNodes(getHandle())) {
        auto* item = dynamic_cast<tviPSSItem*>(tree()->getItem(n));
        if (item != nullptr && item->getDownloadState() != 0)
            *enabled = false;
    }
    if (!*enabled || query)
        return true;
    TreeNode parent = tree()->getParent(getHandle());
    TreeNode previous = tree()->getPrevSibling(getHandle());
    std::string trashPath;
    tviTrashOrigin origin = cabinet->originOf(this);
    if (!cabinet->moveToTrash(getFullPath(), trashPath, &origin))
        return false;
    trashPath_ = trashPath;
    deleteSubtree();
    tree()->bufferDeletion(this, parent, previous);
    return cabinet->save();
}

// Undo delete: the folder comes back from the trash with everything in it, read anew.
bool tviPSSFolder::insertAndLoad(TreeNode parent, TreeNode insertAfter)
{
    if (trashPath_.empty() || !insertItem(parent, insertAfter))
        return false;
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    tviTreeViewItem* parentItem = tree()->getItem(parent);
    std::string parentPath =
        parentItem != nullptr ? tviPageSnapshot::fullPathOf(parentItem) : std::string();
    std::string dirName = dirName_;
    if (cabinet == nullptr || parentPath.empty() ||
        !cabinet->restoreFromTrash(trashPath_, parentPath, dirName))
        return true;
    dirName_ = dirName;
    trashPath_.clear();
    tviPageSnapshot::loadChildren(this, parentPath + dirName_);
    return cabinet->save();
}

bool tviPSSFolder::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query)
        tree()->openDialog(tviDialog::properties, this, name_ + propertiesSuffix);
    return true;
}

bool tviPSSFolder::applyProperties(const tviDialogData& data)
{
    name_ = data.name;
    description_ = data.description;
    setMarked(data.marked);
    refreshText();
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    return cabinet == nullptr || cabinet->save();
}

bool tviPSSFolder::cmdNewFolder(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    bool handled = false;
    bool ok = cabinet == nullptr ||
              cabinet->executeCommand(codeOf(utlCommand::newFolder), query, handled);
    *enabled = handled;
    return ok;
}

bool tviPSSFolder::cmdNewFolderConfirmed(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    bool handled = false;
    bool ok = cabinet == nullptr ||
              cabinet->executeCommand(codeOf(utlCommand::newFolderConfirmed), query, handled);
    *enabled = handled;
    return ok;
}

// Cut, copy, paste and moves are the cabinet's: they take the directory along.
bool tviPSSFolder::cmdCut(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    *enabled = false;
    return cabinet == nullptr || cabinet->clipEntry(this, tviClipMode::cut, query, enabled);
}

bool tviPSSFolder::cmdCopy(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    *enabled = false;
    return cabinet == nullptr || cabinet->clipEntry(this, tviClipMode::copy, query, enabled);
}

bool tviPSSFolder::cmdPaste(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    *enabled = false;
    return cabinet == nullptr || cabinet->pasteOnto(this, query, enabled);
}

bool tviPSSFolder::cmdMoveUp(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    *enabled = false;
    return cabinet == nullptr || cabinet->stepEntry(this, true, query, enabled);
}

bool tviPSSFolder::cmdMoveDown(bool query, bool* enabled)
{
    tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(this);
    *enabled = false;
    return cabinet == nullptr || cabinet->stepEntry(this, false, query, enabled);
}
