#include "TreeViewItem/Base/ctrlTreeView.h"

#include "Common/utlTexts.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"
#include "Common/utlIniInfo.h"
#include "Common/utlLog.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Snapshot/clsSnapshotReport.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Platform/SafePath.h"
#include "Platform/Tick.h"

#include <algorithm>

ctrlTreeView::ctrlTreeView() = default;

ctrlTreeView::~ctrlTreeView()
{
    destroyAllItems();
}

void ctrlTreeView::destroyAllItems()
{
    clipItem_ = nullptr;
    deleted_ = nullptr;
    deletedParent_ = deletedPrevious_ = nullptr;
    deletedBelow_.clear();
    requests_.clear();
    pairings_.clear();
    expansionQueue_.clear();
    queuedTickets_.clear();
    snapshots_.clear();
    snapshotCabinet_ = nullptr;
    deleteLater_.clear();
    // Items forget their nodes first: a derived tree has freed or is about to free them.
    // They go in address order, which is about the order they were made in: far fewer cache
    // misses, and the allocator merges neighbours, than the hash table's order.
    std::vector<tviTreeViewItem*> items;
    items.reserve(owned_.size());
    for (const void* entry : owned_.valuesInAddressOrder()) {
        items.push_back(static_cast<tviTreeViewItem*>(const_cast<void*>(entry)));
    }
    owned_.clear();
    addresses_.clear();
    indexBuilt_ = false;
    for (tviTreeViewItem* item : items) {
        item->setHandle(nullptr);
        item->addressEntry_ = nullptr;
    }
    for (tviTreeViewItem* item : items) {
        delete item;
    }
}

TreeNode ctrlTreeView::insertNode(TreeNode parent, TreeNode insertAfter, tviTreeViewItem* item)
{
    TreeNode node = doInsertNode(parent, insertAfter, item);
    if (node != nullptr && item != nullptr && indexBuilt_) {
        indexAdd(item);
    }
    return node;
}

bool ctrlTreeView::deleteNode(TreeNode node)
{
    if (node == kTreeRoot || !indexBuilt_) {
        return doDeleteNode(node);
    }
    // The items are collected first: once the nodes are gone they cannot be reached.
    std::vector<tviTreeViewItem*> items;
    for (TreeNode n : subtreeNodes(node)) {
        if (tviTreeViewItem* item = getItem(n)) {
            items.push_back(item);
        }
    }
    if (!doDeleteNode(node)) {
        return false;
    }
    for (tviTreeViewItem* item : items) {
        indexRemove(item);
    }
    return true;
}

int ctrlTreeView::countShowing(const std::string& address) const
{
    buildIndex();
    auto found = addresses_.find(address);
    return found != addresses_.end() ? found->second : 0;
}

void ctrlTreeView::addressChanged(tviTreeViewItem* item)
{
    if (item == nullptr || item->addressEntry_ == nullptr ||
        item->addressEntry_->first == item->getUrl()) {
        return;
    }
    indexRemove(item);
    indexAdd(item);
}

void ctrlTreeView::buildIndex() const
{
    if (indexBuilt_) {
        return;
    }
    indexBuilt_ = true;
    std::vector<TreeNode> work;
    for (TreeNode n = getFirstChild(kTreeRoot); n != nullptr; n = getNextSibling(n)) {
        work.push_back(n);
    }
    while (!work.empty()) {
        TreeNode n = work.back();
        work.pop_back();
        if (tviTreeViewItem* item = getItem(n)) {
            indexAdd(item);
        }
        for (TreeNode c = getFirstChild(n); c != nullptr; c = getNextSibling(c)) {
            work.push_back(c);
        }
    }
}

void ctrlTreeView::indexAdd(tviTreeViewItem* item) const
{
    // An item has one node: inserting it again moves its count rather than adding one.
    indexRemove(item);
    auto entry = addresses_.try_emplace(item->getUrl(), 0).first;
    ++entry->second;
    item->addressEntry_ = &*entry;
}

void ctrlTreeView::indexRemove(tviTreeViewItem* item) const
{
    AddressIndex::value_type* entry = item->addressEntry_;
    if (entry == nullptr) {
        return;
    }
    item->addressEntry_ = nullptr;
    if (--entry->second == 0) {
        addresses_.erase(addresses_.find(entry->first));
    }
}

bool ctrlTreeView::askYesNo(const std::string&, const std::string&, tviButtons buttons)
{
    lastButtons = buttons;
    return answerYes;
}

tviPastePlace ctrlTreeView::choosePastePlace()
{
    return pastePlaceAnswer;
}

void ctrlTreeView::showMessage(const std::string&, const std::string&) {}

bool ctrlTreeView::setClipboardText(const std::string& text)
{
    clipboardText_ = text;
    return true;
}

bool ctrlTreeView::openExternal(const std::string&, bool)
{
    return false;
}

void ctrlTreeView::showContextMenu(tviTreeViewItem*) {}

void ctrlTreeView::openDialog(tviDialog, tviTreeViewItem*, const std::string&) {}

tviTreeViewItem* ctrlTreeView::adopt(std::unique_ptr<tviTreeViewItem> item)
{
    tviTreeViewItem* raw = item.release();
    owned_.insert(raw);
    return raw;
}

void ctrlTreeView::adoptAll(const std::vector<tviTreeViewItem*>& items)
{
    owned_.insertAll(items);
}

bool ctrlTreeView::owns(const tviTreeViewItem* item) const
{
    return owned_.contains(item);
}

void ctrlTreeView::forgetItem(tviTreeViewItem* item)
{
    if (clipItem_ == item) {
        clipItem_ = nullptr;
    }
    if (deletedParent_ == item) {
        deletedParent_ = nullptr;
        deletedPrevious_ = nullptr;
    }
    if (deletedPrevious_ == item) {
        deletedPrevious_ = nullptr;
    }
    unpair(item, 0, true);
    queuedTickets_.erase(item);
    for (auto it = snapshots_.begin(); it != snapshots_.end();) {
        if (it->second != item) {
            ++it;
            continue;
        }
        // Nobody waits for this download any more: it stops, keeping what it saved.
        if (engine_ != nullptr)
            engine_->stopSnapshot(it->first);
        it = snapshots_.erase(it);
    }
    if (snapshotCabinet_ == item)
        snapshotCabinet_ = nullptr;
}

void ctrlTreeView::destroyItem(tviTreeViewItem* item)
{
    if (item == nullptr) {
        return;
    }
    forgetItem(item);
    if (deleted_ == item) {
        dropDeletion();
        return;
    }
    std::erase(deleteLater_, item);
    if (owned_.erase(item)) {
        delete item;
    }
}

void ctrlTreeView::deleteLater(tviTreeViewItem* item)
{
    if (notifyDepth_ == 0) {
        if (owns(item)) {
            item->noteChanged();
            item->deleteSubtree();
            destroyItem(item);
        }
        return;
    }
    if (std::find(deleteLater_.begin(), deleteLater_.end(), item) == deleteLater_.end()) {
        deleteLater_.push_back(item);
    }
}

bool ctrlTreeView::isInSubtree(TreeNode node, TreeNode ancestor) const
{
    for (TreeNode n = node; n != kTreeRoot; n = getParent(n)) {
        if (n == ancestor) {
            return true;
        }
    }
    return false;
}

std::vector<TreeNode> ctrlTreeView::subtreeNodes(TreeNode node) const
{
    std::vector<TreeNode> out;
    std::vector<TreeNode> work{node};
    while (!work.empty()) {
        TreeNode n = work.back();
        work.pop_back();
        out.push_back(n);
        std::vector<TreeNode> children;
        for (TreeNode c = getFirstChild(n); c != nullptr; c = getNextSibling(c)) {
            children.push_back(c);
        }
        work.insert(work.end(), children.rbegin(), children.rend());
    }
    return out;
}

void ctrlTreeView::setClipboard(tviTreeViewItem* item, tviClipMode mode)
{
    clipItem_ = item;
    clipMode_ = mode;
}

void ctrlTreeView::clearClipboard()
{
    clipItem_ = nullptr;
}

void ctrlTreeView::dropDeletion()
{
    tviTreeViewItem* top = deleted_;
    std::vector<tviDeletedNode> below = std::move(deletedBelow_);
    deletedBelow_.clear();
    deleted_ = nullptr;
    for (auto it = below.rbegin(); it != below.rend(); ++it) {
        destroyItem(it->item);
    }
    if (top != nullptr) {
        destroyItem(top);
    }
}

void ctrlTreeView::bufferDeletion(tviTreeViewItem* item, TreeNode parent, TreeNode previous,
                                  std::vector<tviDeletedNode> below, bool expanded)
{
    if (deleted_ != nullptr && deleted_ != item) {
        dropDeletion();
    }
    deleted_ = item;
    deletedBelow_ = std::move(below);
    deletedExpanded_ = expanded;
    deletedParent_ = parent != kTreeRoot ? getItem(parent) : nullptr;
    deletedPrevious_ = previous != kTreeFirst ? getItem(previous) : nullptr;
}

bool ctrlTreeView::undoDelete()
{
    tviTreeViewItem* item = deleted_;
    if (item == nullptr) {
        return false;
    }
    // A closed cabinet whose file was opened again meanwhile is not opened twice.
    if (tviTreeViewItem* twin = item->openTwin()) {
        dropDeletion();
        return selectNode(twin->getHandle());
    }
    TreeNode parent = kTreeRoot;
    if (deletedParent_ != nullptr) {
        parent = deletedParent_->getHandle();
        if (parent == nullptr) {
            return false;
        }
    }
    TreeNode after = kTreeFirst;
    if (deletedPrevious_ != nullptr && deletedPrevious_->getHandle() != nullptr &&
        getParent(deletedPrevious_->getHandle()) == parent) {
        after = deletedPrevious_->getHandle();
    }
    if (!item->insertAndLoad(parent, after) && !item->insertItem(parent, after)) {
        return false;
    }
    deleted_ = nullptr;
    std::vector<tviDeletedNode> below = std::move(deletedBelow_);
    deletedBelow_.clear();
    // Parents come before their children, so each goes back behind its earlier siblings.
    for (const tviDeletedNode& kept : below) {
        TreeNode at = kept.parent != nullptr ? kept.parent->getHandle() : nullptr;
        if (at == nullptr || !kept.item->insertItem(at, kTreeLast)) {
            destroyItem(kept.item);
        }
    }
    if (deletedExpanded_) {
        expand(item->getHandle(), true);
    }
    for (const tviDeletedNode& kept : below) {
        if (kept.expanded && owns(kept.item) && kept.item->getHandle() != nullptr) {
            expand(kept.item->getHandle(), true);
        }
    }
    selectNode(item->getHandle());
    return item->onUndoDelete();
}

void ctrlTreeView::queueExpansion(tviTreeViewItem* item)
{
    if (queuedTickets_.try_emplace(item, nextTicket_).second) {
        expansionQueue_.push_back(Queued{item, nextTicket_++});
    }
}

bool ctrlTreeView::takeQueued(tviTreeViewItem*& item)
{
    while (!expansionQueue_.empty()) {
        Queued front = expansionQueue_.front();
        expansionQueue_.pop_front();
        auto found = queuedTickets_.find(front.item);
        if (found != queuedTickets_.end() && found->second == front.ticket) {
            queuedTickets_.erase(found);
            item = front.item;
            return true;
        }
    }
    return false;
}

namespace {

// Items waiting to expand first, each group in the order given; holes are left out.
std::vector<tviTreeViewItem*> flaggedFirst(const std::vector<tviTreeViewItem*>& items)
{
    std::vector<tviTreeViewItem*> flagged;
    std::vector<tviTreeViewItem*> others;
    for (tviTreeViewItem* item : items) {
        if (item != nullptr) {
            (item->getFlag() ? flagged : others).push_back(item);
        }
    }
    flagged.insert(flagged.end(), others.begin(), others.end());
    return flagged;
}

} // namespace

std::vector<tviTreeViewItem*> ctrlTreeView::itemsOfRequest(int id) const
{
    auto found = requests_.find(id);
    if (found == requests_.end()) {
        return {};
    }
    return flaggedFirst(found->second.places);
}

std::vector<tviTreeViewItem*> ctrlTreeView::recipients(int id, const clsQuillaraItem* node,
                                                       clsNodePhase phase)
{
    auto found = requests_.find(id);
    if (found == requests_.end()) {
        return {};
    }
    RequestItems& entry = found->second;
    if (phase != clsNodePhase::complete) {
        // A new read is under way: its final notification goes to everybody.
        entry.final = NodeState{};
        return flaggedFirst(entry.places);
    }
    // The items that are not fresh were all handed the remembered node and still hold it, so
    // a node at the same address is that node, not a new one in its memory. A page whose last
    // analysis pass had not ended when a new asker was told has changed since: then the
    // pass's own final notification goes to everybody.
    NodeState now = stateOf(node);
    bool repeat = node != nullptr && now == entry.final && entry.freshCount < entry.live;
    entry.final = std::move(now);
    std::vector<tviTreeViewItem*> out;
    if (repeat) {
        std::vector<size_t> slots = entry.freshSlots;
        std::sort(slots.begin(), slots.end());
        std::vector<tviTreeViewItem*> fresh;
        fresh.reserve(slots.size());
        for (size_t slot : slots) {
            fresh.push_back(entry.places[slot]);
        }
        out = flaggedFirst(fresh);
    } else {
        out = flaggedFirst(entry.places);
    }
    // Pairs made by the handlers of this notification are fresh again.
    for (size_t slot : entry.freshSlots) {
        if (tviTreeViewItem* item = entry.places[slot]) {
            findPairing(id, item)->fresh = false;
        }
    }
    entry.freshSlots.clear();
    entry.freshCount = 0;
    return out;
}

ctrlTreeView::NodeState ctrlTreeView::stateOf(const clsQuillaraItem* node)
{
    NodeState state;
    if (node == nullptr) {
        return state;
    }
    state.node = node;
    state.properties = node->getProperties();
    state.status = node->getStatus();
    state.links = node->getLinkCount();
    state.resources = node->getResourceCount();
    return state;
}

bool ctrlTreeView::NodeState::operator==(const NodeState& other) const
{
    const clsNodeProperties& a = properties;
    const clsNodeProperties& b = other.properties;
    return node == other.node && status == other.status && links == other.links &&
           resources == other.resources && a.id == b.id && a.linkKind == b.linkKind &&
           a.codeKind == b.codeKind && a.address == b.address && a.protocol == b.protocol &&
           a.title == b.title && a.host == b.host && a.keywords == b.keywords;
}

ctrlTreeView::Pairing* ctrlTreeView::findPairing(int id, const tviTreeViewItem* item)
{
    auto [from, to] = pairings_.equal_range(item);
    for (auto it = from; it != to; ++it) {
        if (it->second.id == id) {
            return &it->second;
        }
    }
    return nullptr;
}

bool ctrlTreeView::isPaired(int id, const tviTreeViewItem* item) const
{
    auto [from, to] = pairings_.equal_range(item);
    for (auto it = from; it != to; ++it) {
        if (it->second.id == id) {
            return true;
        }
    }
    return false;
}

void ctrlTreeView::pair(int id, tviTreeViewItem* item)
{
    RequestItems& entry = requests_[id];
    pairings_.emplace(item, Pairing{id, entry.places.size(), true});
    entry.freshSlots.push_back(entry.places.size());
    ++entry.freshCount;
    entry.places.push_back(item);
    ++entry.live;
}

void ctrlTreeView::markFresh(int id, tviTreeViewItem* item)
{
    Pairing* pairing = findPairing(id, item);
    if (pairing == nullptr || pairing->fresh) {
        return;
    }
    RequestItems& entry = requests_.find(id)->second;
    pairing->fresh = true;
    entry.freshSlots.push_back(pairing->slot);
    ++entry.freshCount;
}

void ctrlTreeView::unpair(tviTreeViewItem* item, int id, bool anyId)
{
    auto [from, to] = pairings_.equal_range(item);
    for (auto it = from; it != to;) {
        if (!anyId && it->second.id != id) {
            ++it;
            continue;
        }
        auto entry = requests_.find(it->second.id);
        entry->second.places[it->second.slot] = nullptr;
        if (it->second.fresh) {
            --entry->second.freshCount;
        }
        if (--entry->second.live == 0) {
            requests_.erase(entry);
        } else if (entry->second.places.size() > 16 &&
                   entry->second.live * 2 < entry->second.places.size()) {
            compact(entry->first, entry->second);
        }
        it = pairings_.erase(it);
    }
}

void ctrlTreeView::compact(int id, RequestItems& entry)
{
    size_t kept = 0;
    entry.freshSlots.clear();
    for (tviTreeViewItem* item : entry.places) {
        if (item == nullptr) {
            continue;
        }
        auto [from, to] = pairings_.equal_range(item);
        for (auto it = from; it != to; ++it) {
            if (it->second.id != id) {
                continue;
            }
            it->second.slot = kept;
            if (it->second.fresh) {
                entry.freshSlots.push_back(kept);
            }
        }
        entry.places[kept++] = item;
    }
    entry.places.resize(kept);
}

tviTreeViewItem* ctrlTreeView::rootItemOf(TreeNode node) const
{
    if (node == kTreeRoot) {
        return nullptr;
    }
    TreeNode top = node;
    for (TreeNode p = getParent(top); p != kTreeRoot; p = getParent(p)) {
        top = p;
    }
    return getItem(top);
}

tviCabinet* ctrlTreeView::cabinetOf(TreeNode node) const
{
    tviTreeViewItem* root = rootItemOf(node);
    return root != nullptr ? root->asCabinet() : nullptr;
}

tviCabinet* ctrlTreeView::openCabinetOf(const std::string& path) const
{
    if (path.empty()) {
        return nullptr;
    }
    std::string real = platform::realPathOf(path);
    for (TreeNode n = getFirstChild(kTreeRoot); n != nullptr; n = getNextSibling(n)) {
        tviTreeViewItem* item = getItem(n);
        if (item == nullptr || item->asCabinet() == nullptr) {
            continue;
        }
        std::string file = item->filePath();
        if (!file.empty() && platform::realPathOf(file) == real) {
            return item->asCabinet();
        }
    }
    return nullptr;
}

void ctrlTreeView::noteChanged(TreeNode node)
{
    if (tviTreeViewItem* root = rootItemOf(node)) {
        root->noteContentsChanged(static_cast<int64_t>(platform::tickCount()));
    }
}

bool ctrlTreeView::saveDueCabinets(int64_t nowMs)
{
    bool ok = true;
    for (TreeNode n = getFirstChild(kTreeRoot); n != nullptr; n = getNextSibling(n)) {
        if (tviTreeViewItem* root = getItem(n)) {
            ok = root->saveIfDue(nowMs, saveDelayMs) && ok;
        }
    }
    return ok;
}

bool ctrlTreeView::saveAll(std::vector<std::string>* cabinetPaths)
{
    bool ok = true;
    // Every root is visited: a root that is not a cabinet (Favorites, bookmarks, snapshots)
    // must not hide the cabinets behind it.
    for (TreeNode n = getFirstChild(kTreeRoot); n != nullptr; n = getNextSibling(n)) {
        tviTreeViewItem* root = getItem(n);
        if (root == nullptr) {
            continue;
        }
        std::string listed = root->listedPath();
        if (cabinetPaths != nullptr && !listed.empty()) {
            cabinetPaths->push_back(std::move(listed));
        }
        ok = root->saveContents() && ok;
    }
    return ok;
}

void ctrlTreeView::loadSettings(const utlIniInfo& ini)
{
    settings.showRes = ini.getInt(IniKey::ShowRes);
    settings.showDupLink = ini.getInt(IniKey::ShowDupLink);
    settings.showLink = ini.getInt(IniKey::ShowLink);
    settings.autoExp = ini.getInt(IniKey::AutoExp);
    settings.newPage = ini.getInt(IniKey::NewPage);
    settings.emptyUrl = ini.getInt(IniKey::EmptyURL);
    settings.byNowUrl = ini.getInt(IniKey::ByNowURL);
    settings.hostNameLimit = ini.getInt(IniKey::HostNameLimit);
    settings.treeNode = ini.getInt(IniKey::TreeNode);
}

bool ctrlTreeView::request(tviTreeViewItem* item, clsRequestMode mode)
{
    if (engine_ == nullptr || item == nullptr) {
        return false;
    }
    clsUrlInformation* info = nullptr;
    if (!engine_->requestItem(mode, item->getType(), item->getUrl(), info) || info == nullptr) {
        // It asked: whatever its request brings next is for it too.
        markFresh(item->getRequestNumber(), item);
        return logError(utlTexts::sjis(utlText::itemRequestFailed));
    }
    int id = info->getId();
    info->releaseQueueRef();
    share(item, id);
    return true;
}

void ctrlTreeView::share(tviTreeViewItem* item, int id)
{
    int old = item->getRequestNumber();
    if (old >= 0 && old != id) {
        withdraw(old, item);
    }
    item->requestNumber_ = id;
    if (isPaired(id, item)) {
        markFresh(id, item);
    } else {
        pair(id, item);
    }
}

bool ctrlTreeView::startSnapshot(tviTreeViewItem* item, int mode, const std::string& url,
                                 const std::string& folder)
{
    int id = -1;
    if (engine_ == nullptr || item == nullptr || !engine_->startSnapshot(mode, url, folder, id)) {
        return false;
    }
    snapshots_[id] = item;
    item->setSnapshotId(id);
    return true;
}

void ctrlTreeView::onSnapshotNotify(int id, const clsSnapshotReport& report, clsSnapshotPhase phase)
{
    auto found = snapshots_.find(id);
    if (found == snapshots_.end()) {
        return;
    }
    tviTreeViewItem* item = found->second;
    if (phase == clsSnapshotPhase::ended) {
        snapshots_.erase(found);
    }
    item->onSnapshotNotify(report, phase);
}

void ctrlTreeView::withdraw(int id, tviTreeViewItem* item)
{
    unpair(item, id, false);
    if (requests_.count(id) == 0 && engine_ != nullptr) {
        engine_->synchronize();
    }
}

void ctrlTreeView::onNodeNotify(int id, clsQuillaraItem* node, clsNodePhase phase)
{
    ++notifyDepth_;
    for (tviTreeViewItem* item : recipients(id, node, phase)) {
        // An earlier handler of this notification may have removed the item.
        if (!isPaired(id, item)) {
            continue;
        }
        ++deliveries_;
        item->setRequest(id, node);
        item->onRequestNotify(phase);
    }
    if (phase == clsNodePhase::complete) {
        tviTreeViewItem* item = nullptr;
        for (int served = 0; served < 2 && takeQueued(item); ++served) {
            bool enabled = false;
            item->cmdExpand(false, &enabled);
            item->setFlag(false);
        }
    }
    --notifyDepth_;
    if (notifyDepth_ > 0) {
        return;
    }
    // Items that asked to go while their own handler ran are removed only now.
    std::vector<tviTreeViewItem*> doomed;
    doomed.swap(deleteLater_);
    for (tviTreeViewItem* item : doomed) {
        if (owns(item)) {
            item->noteChanged();
            item->deleteSubtree();
            destroyItem(item);
        }
    }
}
