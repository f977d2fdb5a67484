#include "TreeViewItem/Footprint/tviRouteSnapshot.h"

#include "Common/utlIniInfo.h"
#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Platform/AtomicFile.h"
#include "Platform/FileLock.h"
#include "TreeViewItem/Base/tviEntryPlacer.h"
#include "TreeViewItem/Base/utlTreeStep.h"
#include "TreeViewItem/Formats/tviFootprintFile.h"
#include "TreeViewItem/Footprint/tviRSSFolder.h"
#include "TreeViewItem/Footprint/tviRSSItem.h"
#include "TreeViewItem/Footprint/tviRSSItemSet.h"

#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredRouteSnapshot =
    tviTreeViewItem::registerFactory(typeRouteSnapshot, tviTreeViewItem::make<tviRouteSnapshot>);

namespace {

const char* const kProperties = utlTexts::sjis(utlText::propertiesOf);

bool isRouteType(int type)
{
    return type == typeSubItem || type == typeCabinetItem || type == typeRSSItem ||
           type == typeIEItem || type == typeNNItem || type == typeFrameItem;
}

} // namespace

tviRouteSnapshot::tviRouteSnapshot(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviRouteSnapshot");
}

tviRouteSnapshot::~tviRouteSnapshot()
{
    countDestroyed("tviRouteSnapshot");
}

std::string tviRouteSnapshot::getText() const
{
    return utlTexts::sjis(utlText::footprintCabinetName);
}

std::string tviRouteSnapshot::getDescription() const
{
    return utlTexts::sjis(utlText::footprintCabinetDescription);
}

int tviRouteSnapshot::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageCabinetOpen : imageCabinetClosed;
}

tviRouteSnapshot* tviRouteSnapshot::of(const tviTreeViewItem* item)
{
    const tviTreeViewItem* top = item;
    while (top != nullptr && top->parentItem() != nullptr) {
        top = top->parentItem();
    }
    return top != nullptr && top->getType() == typeRouteSnapshot
               ? static_cast<tviRouteSnapshot*>(const_cast<tviTreeViewItem*>(top))
               : nullptr;
}

tviRouteSnapshot* tviRouteSnapshot::openIn(ctrlTreeView& tree, const utlIniInfo& ini)
{
    auto* route =
        static_cast<tviRouteSnapshot*>(tree.adopt(std::make_unique<tviRouteSnapshot>(&tree)));
    route->setFilePath(ini.getDataDirectory() + "Footprint.scb");
    route->applySettings(ini);
    TreeNode after = tree.getFirstChild(kTreeRoot);
    for (TreeNode n = after != nullptr ? tree.getNextSibling(after) : nullptr; n != nullptr;
         n = tree.getNextSibling(n)) {
        if (tree.getItem(n) == nullptr || tree.getItem(n)->getType() != typeCabinet) {
            break;
        }
        after = n;
    }
    if (!route->insertItem(kTreeRoot, after != nullptr ? after : kTreeFirst)) {
        tree.destroyItem(route);
        return nullptr;
    }
    route->load();
    return route;
}

void tviRouteSnapshot::applySettings(const utlIniInfo& ini)
{
    setDeleteDay(ini.getInt(IniKey::ERLimitDay));
    setColorDay(ini.getInt(IniKey::ERLimitColor));
    setMarkColor(ini.getInt(IniKey::RouteMarkColor));
    setAgeing(ini.getInt(IniKey::CRLimitColor) != 0, ini.getInt(IniKey::CRLimitDay) != 0);
    if (getHandle() != nullptr)
        tree()->refreshNode(getHandle());
}

tviFootprintFileState tviRouteSnapshot::exists() const
{
    struct stat st {};
    if (path_.empty() || ::stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return tviFootprintFileState::missing;
    }
    return ::access(path_.c_str(), W_OK) == 0 ? tviFootprintFileState::writable
                                              : tviFootprintFileState::readOnly;
}

bool tviRouteSnapshot::createFile()
{
    if (exists() != tviFootprintFileState::missing) {
        return true;
    }
    tviFootprintDocument doc;
    doc.name = getText();
    std::string error;
    if (!platform::atomicWriteFile(path_, tviFootprintFile::write(doc), &error,
                                   platform::Durability::Synced, platform::Links::Follow)) {
        return logError(path_ + ": " + error);
    }
    return true;
}

bool tviRouteSnapshot::load()
{
    ctrlTreeView* t = tree();
    while (TreeNode child = t->getFirstChild(getHandle())) {
        tviTreeViewItem* item = t->getItem(child);
        item->deleteSubtree();
        t->destroyItem(item);
    }
    loadError_.clear();
    tviFootprintFileState state = exists();
    readOnly_ = path_.empty() || state == tviFootprintFileState::readOnly;
    if (state == tviFootprintFileState::missing) {
        t->setOverlay(getHandle(), overlayFor());
        return true; // the first save creates the file
    }
    std::string bytes;
    std::string error;
    if (!platform::readSavedFile(path_, bytes, &error)) {
        readOnly_ = true;
        loadError_ = error;
        t->setOverlay(getHandle(), overlayFor());
        return logError(path_ + ": " + error);
    }
    tviFootprintDocument doc;
    bool whole = tviFootprintFile::read(bytes, doc, error);
    // What was read only in part, or is not ours, is never written over.
    if (!whole || !doc.productMark || doc.newerVersion) {
        readOnly_ = true;
        loadError_ = !whole             ? error
                     : !doc.productMark ? "not a footprint file of Quillara"
                                        : "newer footprint format";
        logError(path_ + ": " + loadError_);
    }
    name_ = doc.name;
    description_ = doc.description;
    t->reserveItems(doc.entries.size());
    {
        tviEntryPlacer placer(t, getHandle());
        placer.addAll(doc.entries, [&](tviFootprintEntry& e) -> std::unique_ptr<tviTreeViewItem> {
            std::unique_ptr<tviTreeViewItem> item;
            if (e.type == typeRSSFolder) {
                auto folder = std::make_unique<tviRSSFolder>(t);
                folder->setName(std::move(e.name));
                folder->setDescription(std::move(e.description));
                item = std::move(folder);
            } else if (e.type == typeRSSItemSet) {
                auto set = std::make_unique<tviRSSItemSet>(t);
                set->setName(std::move(e.name));
                set->setDescription(std::move(e.description));
                set->setAutoDelete(e.autoDelete);
                set->setCreated(e.created);
                set->setDeleteDay(e.deleteDay);
                set->setColorDay(e.colorDay);
                item = std::move(set);
            } else {
                auto page = std::make_unique<tviRSSItem>(t);
                page->setName(std::move(e.name));
                page->setUrl(e.url);
                page->setDescription(std::move(e.description));
                page->setTitle(std::move(e.title));
                page->setKeywords(std::move(e.keyword));
                page->tviURLItem::setStatus(statusFromStored(e.status));
                item = std::move(page);
            }
            item->setMarked(e.marked);
            return item;
        });
    }
    t->setOverlay(getHandle(), overlayFor());
    refreshText();
    return whole;
}

void tviRouteSnapshot::toDocument(tviFootprintDocument& doc) const
{
    doc = tviFootprintDocument{};
    doc.name = name_.empty() ? getText() : name_;
    doc.description = description_;
    ctrlTreeView* t = tree();
    std::time_t at = now();
    std::vector<std::pair<TreeNode, int>> work;
    auto pushChildren = [&](TreeNode node, int parent) {
        std::vector<TreeNode> children;
        for (TreeNode c = t->getFirstChild(node); c != nullptr; c = t->getNextSibling(c)) {
            children.push_back(c);
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            work.emplace_back(*it, parent);
        }
    };
    pushChildren(getHandle(), -1);
    while (!work.empty()) {
        auto [node, parent] = work.back();
        work.pop_back();
        tviTreeViewItem* item = t->getItem(node);
        if (item == nullptr) {
            continue;
        }
        tviFootprintEntry e;
        e.type = item->getType();
        e.parent = parent;
        e.marked = item->isMarked();
        e.description = item->getDescription();
        if (e.type == typeRSSFolder) {
            e.name = static_cast<const tviRSSFolder*>(item)->getName();
        } else if (e.type == typeRSSItemSet) {
            const auto* set = static_cast<const tviRSSItemSet*>(item);
            if (deleteOn_ && set->isExpired(at, deleteDays_)) {
                continue; // expired: gone from the file with its pages
            }
            e.name = set->getName();
            e.autoDelete = set->getAutoDelete();
            e.created = set->getCreated();
            e.deleteDay = set->getDeleteDay();
            e.colorDay = set->getColorDay();
        } else if (e.type == typeRSSItem) {
            const auto* page = static_cast<const tviRSSItem*>(item);
            e.name = page->getName();
            e.url = page->getUrl();
            e.title = page->getTitle();
            e.keyword = page->getKeywords();
            e.status = storedStatus(page->getStatus());
        } else {
            continue; // sub-items of a page are found on the page again, never stored
        }
        doc.entries.push_back(std::move(e));
        pushChildren(node, static_cast<int>(doc.entries.size()) - 1);
    }
}

bool tviRouteSnapshot::save()
{
    if (readOnly_) {
        return logError(path_ + ": read-only footprint cabinet is not written");
    }
    tviFootprintDocument doc;
    toDocument(doc);
    std::string error;
    platform::FileLock lock;
    if (!lock.lock(path_, tree()->lockWaitMs, &error)) {
        return logError(path_ + ": " + error);
    }
    if (!platform::atomicWriteFile(path_, tviFootprintFile::write(doc), &error,
                                   platform::Durability::Synced, platform::Links::Follow)) {
        return logError(path_ + ": " + error);
    }
    return true;
}

tviRSSItemSet* tviRouteSnapshot::addFootprint(tviTreeViewItem* source, const std::string& name,
                                              bool autoDelete)
{
    ctrlTreeView* t = tree();
    if (source == nullptr || readOnly_ || getHandle() == nullptr) {
        return nullptr;
    }
    std::vector<tviTreeViewItem*> route{source};
    for (tviTreeViewItem* p = source->parentItem(); p != nullptr && isRouteType(p->getType());
         p = p->parentItem()) {
        route.push_back(p);
    }
    auto* set = static_cast<tviRSSItemSet*>(t->adopt(std::make_unique<tviRSSItemSet>(t)));
    set->setName(name);
    set->setCreated(now());
    set->setAutoDelete(autoDelete);
    set->setDeleteDay(deleteDays_);
    set->setColorDay(colorDays_);
    if (!set->insertItem(getHandle(), kTreeFirst)) {
        t->destroyItem(set);
        return nullptr;
    }
    TreeNode parent = set->getHandle();
    for (auto it = route.rbegin(); it != route.rend(); ++it) {
        tviTreeViewItem* from = *it;
        auto* page = static_cast<tviRSSItem*>(t->adopt(std::make_unique<tviRSSItem>(t)));
        page->setName(from->getText());
        page->setUrl(from->getUrl());
        page->setDescription(from->getDescription());
        if (auto* urlItem = dynamic_cast<tviURLItem*>(from)) {
            page->setTitle(urlItem->getTitle());
            page->setKeywords(urlItem->getKeywords());
            page->tviURLItem::setStatus(urlItem->getStatus());
        }
        page->setRequest(-1, from->getRequest());
        if (!page->insertItem(parent, kTreeFirst)) {
            t->destroyItem(page);
            break;
        }
        parent = page->getHandle();
    }
    t->expand(getHandle(), true);
    for (TreeNode n : t->subtreeNodes(set->getHandle())) {
        t->expand(n, true);
    }
    t->selectNode(parent);
    // A footprint that could not be written is not reported as taken: it leaves the tree, and
    // the dialog stays open to try again.
    if (!save()) {
        set->deleteSubtree();
        t->destroyItem(set);
        t->showMessage(utlTexts::sjis(utlText::footprintNotSaved), "Quillara");
        return nullptr;
    }
    return set;
}

bool tviRouteSnapshot::cmdNewFolder(bool query, bool* enabled)
{
    *enabled = !readOnly_;
    if (*enabled && !query) {
        tree()->openDialog(tviDialog::newFolder, this, utlTexts::sjis(utlText::newFolderName));
    }
    return true;
}

bool tviRouteSnapshot::cmdNewFolderConfirmed(bool query, bool* enabled)
{
    *enabled = !readOnly_;
    if (!*enabled || query || !tree()->dialogData.confirmed) {
        return true;
    }
    return tviRSSFolder::addFromDialog(tree(), getHandle()) && save();
}

bool tviRouteSnapshot::cmdPaste(bool query, bool* enabled)
{
    return pasteOnto(this, query, enabled);
}

namespace {

bool isRouteEntry(const tviTreeViewItem* item)
{
    return item != nullptr &&
           (item->getType() == typeRSSFolder || item->getType() == typeRSSItemSet);
}

} // namespace

bool tviRouteSnapshot::clipEntry(tviTreeViewItem* item, tviClipMode mode, bool query, bool* enabled)
{
    *enabled = isRouteEntry(item) && (mode == tviClipMode::copy || !readOnly_);
    if (*enabled && !query)
        tree()->setClipboard(item, mode);
    return true;
}

bool tviRouteSnapshot::pasteOnto(tviTreeViewItem* target, bool query, bool* enabled)
{
    *enabled = false;
    tviTreeViewItem* entry = tree()->clipboardItem();
    if (readOnly_ || entry == nullptr || target == nullptr || target->getHandle() == nullptr ||
        !isRouteEntry(entry) || of(entry) != this ||
        tree()->isInSubtree(target->getHandle(), entry->getHandle()))
        return true;
    TreeNode node = target->getHandle();
    bool folder = target->getType() == typeRSSFolder;
    TreeNode parent = tree()->getParent(node);
    TreeNode after = node;
    if (target == this ||
        (folder && (tree()->getFirstChild(node) == nullptr || tree()->isExpanded(node)))) {
        parent = node;
        after = kTreeFirst;
    }
    *enabled = true;
    if (query)
        return true;
    if (folder) {
        switch (tree()->choosePastePlace()) {
        case tviPastePlace::inside:
            parent = node;
            after = kTreeFirst;
            break;
        case tviPastePlace::below:
            parent = tree()->getParent(node);
            after = node;
            break;
        case tviPastePlace::cancel: return true;
        case tviPastePlace::automatic: break;
        }
    }
    bool cut = tree()->clipboardMode() == tviClipMode::cut;
    bool ok = cut ? entry->moveTo(parent, after) : copyEntry(entry, parent, after) != nullptr;
    if (!ok)
        return false;
    tree()->clearClipboard();
    return save();
}

// Moves walk into and out of folders: into a folder that is empty or open, over a closed one
// or a footprint, out of a folder at its edge; never out of the cabinet.
bool tviRouteSnapshot::stepEntry(tviTreeViewItem* item, bool up, bool query, bool* enabled)
{
    *enabled = false;
    if (readOnly_ || !isRouteEntry(item) || of(item) != this)
        return true;
    std::optional<utlTreePlace> place = stepPlace(*tree(), item->getHandle(), up, typeRSSFolder);
    if (!place)
        return true;
    *enabled = true;
    if (query)
        return true;
    return item->moveTo(place->parent, place->after) && save();
}

// Folders, footprints and their pages copied as what they are (the general copy would turn
// pages into cabinet items and drop the route below the first one).
tviTreeViewItem* tviRouteSnapshot::copyEntry(const tviTreeViewItem* item, TreeNode parent,
                                             TreeNode after)
{
    ctrlTreeView* t = tree();
    struct Step {
        TreeNode source;
        TreeNode parent;
        TreeNode after;
    };
    std::vector<Step> work{{item->getHandle(), parent, after}};
    tviTreeViewItem* top = nullptr;
    while (!work.empty()) {
        Step step = work.back();
        work.pop_back();
        const tviTreeViewItem* source = t->getItem(step.source);
        std::unique_ptr<tviTreeViewItem> made;
        if (source->getType() == typeRSSFolder)
            made = std::make_unique<tviRSSFolder>(t);
        else if (source->getType() == typeRSSItemSet)
            made = std::make_unique<tviRSSItemSet>(t);
        else
            made = std::make_unique<tviRSSItem>(t);
        tviTreeViewItem* copy = t->adopt(std::move(made));
        bool ok = copy != nullptr;
        if (auto* page = dynamic_cast<tviRSSItem*>(copy)) {
            const auto& from = static_cast<const tviRSSItem&>(*source);
            page->setName(from.getName());
            page->setUrl(from.getUrl());
            page->setDescription(from.getDescription());
            page->setTitle(from.getTitle());
            page->setKeywords(from.getKeywords());
            page->tviURLItem::setStatus(from.getStatus());
        } else if (ok) {
            ok = copy->copyFrom(*source);
        }
        if (!ok || !copy->insertItem(step.parent, step.after)) {
            if (copy != nullptr)
                t->destroyItem(copy);
            if (top != nullptr) {
                top->deleteSubtree();
                t->destroyItem(top);
            }
            return nullptr;
        }
        copy->setMarked(source->isMarked());
        t->setOverlay(copy->getHandle(),
                      copy->getStatus() == clsRequestStatus::failed ? overlayError : overlayNone);
        if (top == nullptr)
            top = copy;
        std::vector<TreeNode> children;
        for (TreeNode c = t->getFirstChild(step.source); c != nullptr; c = t->getNextSibling(c))
            if (t->getItem(c)->getType() == typeRSSFolder ||
                t->getItem(c)->getType() == typeRSSItemSet ||
                t->getItem(c)->getType() == typeRSSItem)
                children.push_back(c);
        // Taken from the stack first to last, each behind the one before.
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            work.push_back({*it, copy->getHandle(), kTreeLast});
    }
    t->selectNode(top->getHandle());
    return top;
}

bool tviRouteSnapshot::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this, getText() + kProperties);
    }
    return true;
}

tviTreeViewItem* tviRouteSnapshot::keepFootprint(tviTreeViewItem* page, const std::string& name,
                                                 bool autoDelete)
{
    return addFootprint(page, name, autoDelete);
}
