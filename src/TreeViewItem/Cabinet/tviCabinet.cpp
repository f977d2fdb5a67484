#include "TreeViewItem/Cabinet/tviCabinet.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Platform/AtomicFile.h"
#include "Platform/FileLock.h"
#include "Platform/Tick.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetFolder.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Cabinet/tviCabinetMerge.h"
#include "TreeViewItem/Base/tviEntryPlacer.h"

#include <algorithm>
#include <unistd.h>

#include <sys/stat.h>

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredCabinet =
    tviTreeViewItem::registerFactory(typeCabinet, tviTreeViewItem::make<tviCabinet>);

tviCabinet::tviCabinet(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviCabinet");
}

tviCabinet::~tviCabinet()
{
    countDestroyed("tviCabinet");
}

std::string tviCabinet::getText() const
{
    std::string name = getName();
    return name.empty() ? path_ : name;
}

int tviCabinet::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageCabinetOpen : imageCabinetClosed;
}

bool tviCabinet::setText(const std::string& text)
{
    setName(text);
    refreshText();
    noteChanged();
    return true;
}

bool tviCabinet::applyProperties(const tviDialogData& data)
{
    // The path of a cabinet is changed by copying it (saveAs), not here.
    if (getType() == typeCabinet) {
        name_ = data.name;
    }
    description_ = data.description;
    refreshText();
    noteChanged();
    return true;
}

bool tviCabinet::insertAndLoad(TreeNode parent, TreeNode insertAfter)
{
    if (!insertItem(parent, insertAfter)) {
        return false;
    }
    return load();
}

int tviCabinet::getFileState() const
{
    struct stat st {};
    if (pathUnresolved_ || path_.empty() || ::stat(path_.c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode)) {
        return 0;
    }
    return ::access(path_.c_str(), W_OK) == 0 ? 1 : 2;
}

bool tviCabinet::createFile()
{
    if (getFileState() != 0) {
        return true;
    }
    if (pathUnresolved_) {
        return logError(path_ + ": cabinet folder not listed");
    }
    tviCabinetDocument doc;
    doc.name = getName();
    std::string error;
    if (!platform::atomicWriteFile(path_, tviCabinetFile::write(doc), &error,
                                   platform::Durability::Synced, platform::Links::Follow)) {
        return logError(path_ + ": " + error);
    }
    stamp_ = platform::FileStamp::of(path_);
    base_ = tviCabinetMerge::baseOf(doc);
    fileMissing_ = false;
    return true;
}

void tviCabinet::toDocument(tviCabinetDocument& doc) const
{
    doc = tviCabinetDocument{};
    doc.name = getName();
    doc.description = getDescription();
    ctrlTreeView* t = tree();
    // Walks the tree in document order with an explicit stack of (node, parent entry).
    std::vector<std::pair<TreeNode, int>> work;
    auto pushChildren = [&](TreeNode node, int parentIndex) {
        std::vector<TreeNode> children;
        for (TreeNode c = t->getFirstChild(node); c != nullptr; c = t->getNextSibling(c)) {
            children.push_back(c);
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            work.emplace_back(*it, parentIndex);
        }
    };
    pushChildren(getHandle(), -1);
    while (!work.empty()) {
        auto [node, parentIndex] = work.back();
        work.pop_back();
        tviTreeViewItem* item = t->getItem(node);
        if (item == nullptr) {
            continue;
        }
        tviCabinetEntry e;
        e.parent = parentIndex;
        e.marked = item->isMarked();
        if (item->getType() == typeCabinetFolder) {
            const auto* folder = static_cast<const tviCabinetFolder*>(item);
            e.type = typeCabinetFolder;
            e.name = folder->getName();
            e.description = folder->getDescription();
            e.addDate = folder->getAddDate();
            e.lastModified = folder->getLastModified();
            doc.entries.push_back(std::move(e));
            pushChildren(node, static_cast<int>(doc.entries.size()) - 1);
        } else if (item->getType() == typeCabinetItem) {
            const auto* ci = static_cast<const tviCabinetItem*>(item);
            e.type = typeCabinetItem;
            e.name = ci->getName();
            e.url = ci->getUrl();
            e.keyword = ci->getKeywords();
            e.title = ci->getTitle();
            e.description = ci->getDescription();
            e.status = storedStatus(ci->getStatus());
            e.addDate = ci->getAddDate();
            e.lastModified = ci->getLastModified();
            e.archived = ci->getArchived();
            e.archivedDate = ci->getArchivedDate();
            doc.entries.push_back(std::move(e));
        }
    }
}

std::unique_ptr<tviTreeViewItem> tviCabinet::makeItem(tviCabinetEntry& e, bool readOnly)
{
    ctrlTreeView* t = tree();
    std::unique_ptr<tviTreeViewItem> item;
    if (e.type == typeCabinetFolder) {
        auto folder = std::make_unique<tviCabinetFolder>(t);
        folder->setName(std::move(e.name));
        folder->setDescription(std::move(e.description));
        folder->setReadOnly(readOnly);
        folder->setDates(e.addDate, e.lastModified);
        item = std::move(folder);
    } else {
        auto ci = std::make_unique<tviCabinetItem>(t);
        ci->setName(std::move(e.name));
        ci->setUrl(std::move(e.url));
        ci->setKeywords(std::move(e.keyword));
        ci->setTitle(std::move(e.title));
        ci->setDescription(std::move(e.description));
        ci->setReadOnly(readOnly);
        ci->tviURLItem::setStatus(statusFromStored(e.status));
        ci->setDates(e.addDate, e.lastModified);
        ci->setArchived(std::move(e.archived), e.archivedDate);
        item = std::move(ci);
    }
    item->setMarked(e.marked);
    return item;
}

bool tviCabinet::fromDocument(tviCabinetDocument&& doc)
{
    ctrlTreeView* t = tree();
    setName(doc.name);
    description_ = doc.description;
    t->reserveItems(doc.entries.size());
    tviEntryPlacer placer(t, getHandle());
    placer.addAll(doc.entries, [&](tviCabinetEntry& e) { return makeItem(e, readOnly_); });
    return placer.ok();
}

void tviCabinet::setItemsReadOnly()
{
    ctrlTreeView* t = tree();
    for (TreeNode n : t->subtreeNodes(getHandle())) {
        tviTreeViewItem* item = t->getItem(n);
        if (item->getType() == typeCabinetFolder) {
            static_cast<tviCabinetFolder*>(item)->setReadOnly(true);
        } else if (item->getType() == typeCabinetItem) {
            static_cast<tviCabinetItem*>(item)->setReadOnly(true);
        } else {
            continue;
        }
        t->setOverlay(n, item->overlayFor());
    }
}

// A cabinet read again (another program wrote it) keeps the selection on the same folder or
// item, found by its place, or on its nearest folder that is still there.
bool tviCabinet::load()
{
    std::vector<PlaceStep> place = selectedPlace();
    clearChildren();
    bool loaded = readFile();
    reselect(place);
    return loaded;
}

void tviCabinet::clearChildren()
{
    ctrlTreeView* t = tree();
    while (TreeNode child = t->getFirstChild(getHandle())) {
        tviTreeViewItem* item = t->getItem(child);
        item->deleteSubtree();
        t->destroyItem(item);
    }
}

tviCabinet::PlaceStep tviCabinet::stepOf(TreeNode node) const
{
    ctrlTreeView* t = tree();
    tviTreeViewItem* item = t->getItem(node);
    PlaceStep step{item->getType(), item->getText(), 0};
    for (TreeNode n = t->getFirstChild(t->getParent(node)); n != node; n = t->getNextSibling(n)) {
        tviTreeViewItem* sibling = t->getItem(n);
        step.repeat += sibling->getType() == step.type && sibling->getText() == step.text ? 1 : 0;
    }
    return step;
}

std::vector<tviCabinet::PlaceStep> tviCabinet::selectedPlace() const
{
    ctrlTreeView* t = tree();
    std::vector<PlaceStep> steps;
    TreeNode node = t->getSelection();
    for (; node != kTreeRoot && node != getHandle(); node = t->getParent(node))
        steps.push_back(stepOf(node));
    if (node != getHandle() || steps.empty())
        return {};
    std::reverse(steps.begin(), steps.end());
    return steps;
}

void tviCabinet::reselect(const std::vector<PlaceStep>& place)
{
    if (place.empty())
        return;
    ctrlTreeView* t = tree();
    TreeNode node = getHandle();
    for (const PlaceStep& step : place) {
        int seen = 0;
        TreeNode found = kTreeRoot;
        for (TreeNode n = t->getFirstChild(node); n != kTreeRoot && found == kTreeRoot;
             n = t->getNextSibling(n)) {
            tviTreeViewItem* item = t->getItem(n);
            if (item->getType() == step.type && item->getText() == step.text &&
                seen++ == step.repeat)
                found = n;
        }
        if (found == kTreeRoot)
            break;
        node = found;
    }
    t->selectNode(node);
}

bool tviCabinet::readFile()
{
    ctrlTreeView* t = tree();
    loadError_.clear();
    changedAt_ = -1;
    unreadable_ = false;
    partlyRead_ = false;
    int state = getFileState();
    fileMissing_ = state == 0;
    readOnly_ = state != 1;
    if (fileMissing_) {
        unreadable_ = true;
        loadError_ =
            pathUnresolved_ ? "cabinet folder not listed in the settings" : "file not found";
        t->setOverlay(getHandle(), overlayError);
        return logError(path_ + ": " + loadError_);
    }
    std::string bytes;
    std::string error;
    // Taken before the read: a write in between shows as a change at the next save.
    stamp_ = platform::FileStamp::of(path_);
    base_ = tviCabinetMerge::Base{};
    if (!platform::readSavedFile(path_, bytes, &error)) {
        readOnly_ = true;
        unreadable_ = true;
        loadError_ = error;
        t->setOverlay(getHandle(), overlayReadOnly);
        return logError(path_ + ": " + error);
    }
    // Items are made as the reader finds their entries, so that no whole document is kept
    // beside the tree. What the head says decides whether they are read-only; a read that
    // stops early makes them so afterwards.
    tviCabinetDocument doc;
    bool whole = false;
    bool built = true;
    bool itemsReadOnly = readOnly_;
    {
        tviEntryPlacer placer(t, getHandle());
        bool first = true;
        whole = tviCabinetFile::read(bytes, doc, error, [&](tviCabinetEntry& e) {
            if (first) {
                first = false;
                itemsReadOnly =
                    readOnly_ || !doc.productMark || doc.newerVersion || doc.convertedFromUtf8;
            }
            base_.add(e);
            placer.add(e.parent, [&] { return makeItem(e, itemsReadOnly); });
        });
        built = placer.ok();
    }
    // A tree read only in part must never be written over the file it came from.
    if (!whole || !doc.productMark || doc.newerVersion) {
        readOnly_ = true;
    }
    if (readOnly_ && !itemsReadOnly) {
        setItemsReadOnly();
    }
    partlyRead_ = !whole;
    if (!whole) {
        loadError_ = error;
    } else if (!doc.productMark) {
        loadError_ = "not a Quillara cabinet (opened read-only)";
    } else if (doc.newerVersion) {
        loadError_ = "newer cabinet format (opened read-only)";
    }
    setName(doc.name);
    description_ = doc.description;
    t->setOverlay(getHandle(), readOnly_ ? overlayReadOnly : overlayNone);
    refreshText();
    base_.finish();
    if (!whole) {
        return logError(path_ + ": " + error);
    }
    return built;
}

bool tviCabinet::writeTo(const std::string& path, const tviCabinetDocument& doc)
{
    std::string error;
    if (!platform::atomicWriteFile(path, tviCabinetFile::write(doc), &error,
                                   platform::Durability::Synced, platform::Links::Follow)) {
        saveError_ = error;
        return logError(path + ": " + error);
    }
    stamp_ = platform::FileStamp::of(path);
    base_ = tviCabinetMerge::baseOf(doc);
    return true;
}

bool tviCabinet::refuse(const std::string& why, std::source_location caller)
{
    saveError_ = why;
    // Tried again after the next delay; the file is left as it is.
    changedAt_ = static_cast<int64_t>(platform::tickCount());
    return logError(path_ + ": " + why, caller);
}

bool tviCabinet::mergeWithFile(tviCabinetDocument& doc)
{
    std::string bytes;
    std::string error;
    tviCabinetDocument theirs;
    if (!platform::readSavedFile(path_, bytes, &error) ||
        !tviCabinetFile::read(bytes, theirs, error) || !theirs.productMark || theirs.newerVersion) {
        return false;
    }
    doc = tviCabinetMerge::merge(base_, doc, theirs);
    std::vector<PlaceStep> place = selectedPlace();
    clearChildren();
    tviCabinetDocument copy = doc;
    bool built = fromDocument(std::move(copy));
    reselect(place);
    return built;
}

bool tviCabinet::save()
{
    if (path_.empty() || fileMissing_) {
        return logError(path_ + ": no file to save to");
    }
    if (readOnly_) {
        return logError(path_ + ": read-only cabinet is not written");
    }
    saveError_.clear();
    // One writer at a time for the whole read-modify-write, across programs.
    platform::FileLock lock;
    std::string error;
    if (!lock.lock(path_, tree()->lockWaitMs, &error)) {
        return refuse(error);
    }
    tviCabinetDocument doc;
    toDocument(doc);
    // Another program wrote the file since it was read: its changes are merged in (the
    // window), or nothing is written (a command); never an older tree over a newer file.
    if (platform::FileStamp::of(path_) != stamp_) {
        if (!tree()->mergeChangedFiles) {
            return refuse("changed by another program since it was read; nothing was written");
        }
        if (!mergeWithFile(doc)) {
            return refuse("changed by another program and cannot be read whole; not written over");
        }
    }
    if (!writeTo(path_, doc)) {
        // Tried again after the next delay; the old file is still whole.
        changedAt_ = static_cast<int64_t>(platform::tickCount());
        return false;
    }
    changedAt_ = -1;
    return true;
}

bool tviCabinet::reloadIfChanged()
{
    if (isChanged() || readOnly_ || path_.empty() || fileMissing_ ||
        platform::FileStamp::of(path_) == stamp_) {
        return false;
    }
    load();
    return true;
}

void tviCabinet::noteContentsChanged(int64_t nowMs)
{
    if (!readOnly_) {
        markChanged(nowMs);
    }
}

bool tviCabinet::saveIfDue(int64_t nowMs, int64_t delayMs)
{
    // In the window, a cabinet without changes of its own follows its file.
    if (tree()->mergeChangedFiles) {
        reloadIfChanged();
    }
    if (!isChanged() || nowMs - changedAt_ < delayMs) {
        return true;
    }
    return save();
}

bool tviCabinet::saveContents()
{
    return !isChanged() || save();
}

std::string tviCabinet::listedPath() const
{
    // The default cabinet is not one of the settings' list.
    return getType() == typeCabinet ? path_ : std::string();
}

bool tviCabinet::saveAs(const std::string& path)
{
    platform::FileLock lock;
    std::string error;
    if (!lock.lock(path, tree()->lockWaitMs, &error)) {
        saveError_ = error;
        return logError(path + ": " + error);
    }
    tviCabinetDocument doc;
    toDocument(doc);
    if (!writeTo(path, doc)) {
        return false;
    }
    path_ = path;
    readOnly_ = false;
    fileMissing_ = false;
    pathUnresolved_ = false;
    loadError_.clear();
    partlyRead_ = false;
    changedAt_ = -1;
    ctrlTreeView* t = tree();
    for (TreeNode n : t->subtreeNodes(getHandle())) {
        tviTreeViewItem* item = t->getItem(n);
        if (item->getType() == typeCabinetFolder) {
            static_cast<tviCabinetFolder*>(item)->setReadOnly(false);
        } else if (item->getType() == typeCabinetItem) {
            static_cast<tviCabinetItem*>(item)->setReadOnly(false);
        }
        t->setOverlay(n, item->overlayFor());
    }
    return true;
}

bool tviCabinet::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this,
                           getText() + utlTexts::sjis(utlText::propertiesOf));
    }
    return true;
}

bool tviCabinet::cmdCut(bool query, bool* enabled)
{
    return putOnClipboard(tviClipMode::cut, query, enabled);
}

bool tviCabinet::cmdPaste(bool query, bool* enabled)
{
    return pasteHere(query, enabled);
}

tviTreeViewItem* tviCabinet::openTwin() const
{
    tviCabinet* open = tree()->openCabinetOf(path_);
    return open != this ? open : nullptr;
}

bool tviCabinet::cmdDelete(bool query, bool* enabled)
{
    *enabled = getHandle() != nullptr;
    if (!*enabled || query) {
        return true;
    }
    // Pending edits reach the file before the cabinet leaves the tree. A cabinet whose edits
    // cannot be written stays: in the deletion buffer they would be lost with the next delete.
    if (isChanged() && !readOnly_ && !save()) {
        tree()->showMessage(utlTexts::sjis(utlText::saveFailed), getText());
        return false;
    }
    TreeNode previous = tree()->getPrevSibling(getHandle());
    deleteSubtree();
    tree()->bufferDeletion(this, kTreeRoot, previous);
    return true;
}

bool tviCabinet::cmdMoveUp(bool query, bool* enabled)
{
    ctrlTreeView* t = tree();
    TreeNode prev = t->getPrevSibling(getHandle());
    tviTreeViewItem* above = prev != nullptr ? t->getItem(prev) : nullptr;
    *enabled = above != nullptr && above->getType() != typeQuillaraCabinet;
    if (!*enabled || query) {
        return true;
    }
    TreeNode before = t->getPrevSibling(prev);
    return moveTo(kTreeRoot, before != nullptr ? before : kTreeFirst);
}

bool tviCabinet::cmdMoveDown(bool query, bool* enabled)
{
    TreeNode next = tree()->getNextSibling(getHandle());
    *enabled = next != nullptr;
    if (!*enabled || query) {
        return true;
    }
    return moveTo(kTreeRoot, next);
}
