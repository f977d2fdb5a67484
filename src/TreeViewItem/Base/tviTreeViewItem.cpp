#include "TreeViewItem/Base/tviTreeViewItem.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlTexts.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Analysis/utlHtmlText.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Base/tviSubItem.h"
#include "TreeViewItem/Base/tviURLItem.h"
#include "TreeViewItem/Base/utlTreeStep.h"

#include <array>

namespace {

std::array<tviTreeViewItem::Factory, 19>& factories()
{
    static std::array<tviTreeViewItem::Factory, 19> table{};
    return table;
}

bool startsWithNoCase(const std::string& text, std::string_view prefix)
{
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = text[i];
        if (a >= 'A' && a <= 'Z') {
            a = static_cast<char>(a + 32);
        }
        if (a != prefix[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

tviTreeViewItem::tviTreeViewItem(ctrlTreeView* tree) : tree_(tree)
{
    countCreated("tviTreeViewItem");
}

tviTreeViewItem::~tviTreeViewItem()
{
    setRequest(-1, nullptr);
    countDestroyed("tviTreeViewItem");
}

bool tviTreeViewItem::executeCommand(int code, bool query, bool& handled)
{
    using enum utlCommand;
    bool enabled = false;
    bool ok = true;
    switch (static_cast<utlCommand>(code)) {
    case newItem: ok = cmdNewItem(query, &enabled); break;
    case newItemConfirmed: ok = cmdNewItemConfirmed(query, &enabled); break;
    case newFolder: ok = cmdNewFolder(query, &enabled); break;
    case newFolderConfirmed: ok = cmdNewFolderConfirmed(query, &enabled); break;
    case takeSnapshot: ok = cmdTakeSnapshot(query, &enabled); break;
    case snapshotConfirmed: ok = cmdSnapshotConfirmed(query, &enabled); break;
    case properties: ok = cmdProperties(query, &enabled); break;
    case cut: ok = cmdCut(query, &enabled); break;
    case copy: ok = cmdCopy(query, &enabled); break;
    case paste: ok = cmdPaste(query, &enabled); break;
    case deleteItem: ok = cmdDelete(query, &enabled); break;
    case moveUp: ok = cmdMoveUp(query, &enabled); break;
    case moveDown: ok = cmdMoveDown(query, &enabled); break;
    case mark: ok = cmdMark(query, &enabled); break;
    case expand:
        ok = cmdExpand(query, &enabled);
        if (enabled && !query && tree_->getFirstChild(node_) != nullptr) {
            tree_->expand(node_, true);
        }
        break;
    case openNode:
        if (isUrlType(getType()) && request_ == nullptr) {
            ok = cmdExpand(query, &enabled);
        }
        break;
    case reExpand: ok = cmdReExpand(query, &enabled); break;
    case expandAll: ok = cmdExpandAll(query, &enabled); break;
    case showInBrowser: ok = cmdShowInBrowser(query, &enabled, false); break;
    case showInNewBrowser: ok = cmdShowInBrowser(query, &enabled, true); break;
    case showArchived: ok = cmdShowArchived(query, &enabled); break;
    case charsetAuto: ok = cmdCharset(0, query, &enabled); break;
    case charsetSjis: ok = cmdCharset(1, query, &enabled); break;
    case charsetEuc: ok = cmdCharset(2, query, &enabled); break;
    case charsetUtf8: ok = cmdCharset(3, query, &enabled); break;
    case takeFootprint: ok = cmdTakeFootprint(query, &enabled); break;
    case footprintConfirmed: ok = cmdFootprintConfirmed(query, &enabled); break;
    case contextMenu:
        enabled = true;
        if (!query) {
            tree_->showContextMenu(this);
        }
        break;
    case labelEdit:
        enabled = !isReadOnly() && (getType() == typeCabinet || getType() == typeCabinetFolder ||
                                    getType() == typeCabinetItem);
        break;
    case openTree:
        enabled = true;
        if (!query) {
            for (TreeNode n : tree_->subtreeNodes(node_)) {
                tree_->expand(n, true);
            }
        }
        break;
    default: break;
    }
    handled = enabled;
    return ok;
}

bool tviTreeViewItem::insertItem(TreeNode parent, TreeNode insertAfter)
{
    TreeNode node = tree_->insertNode(parent, insertAfter, this);
    if (node == nullptr) {
        return false;
    }
    node_ = node;
    tree_->setOverlay(node_, overlayFor());
    return true;
}

std::string tviTreeViewItem::getText() const
{
    return utlTexts::sjis(utlText::notImplemented);
}

void tviTreeViewItem::setMarked(bool marked)
{
    marked_ = marked;
    refreshText();
}

void tviTreeViewItem::getStatusText(std::string& text, bool& isError) const
{
    text.clear();
    isError = false;
}

int tviTreeViewItem::overlayFor() const
{
    if (getStatus() == clsRequestStatus::failed) {
        return hasArchivedCopy() ? overlayArchived : overlayError;
    }
    return hasOverlay() ? overlayReadOnly : overlayNone;
}

tviTreeViewItem* tviTreeViewItem::anchorForNew() const
{
    // Sub-items are never written to a cabinet file: their cabinet item stands in for them.
    const tviTreeViewItem* at = this;
    while (at != nullptr && (at->getType() == typeSubItem || at->getType() == typeFrameItem)) {
        at = at->parentItem();
    }
    if (at == nullptr || at->node_ == nullptr || !at->holdsNewEntries()) {
        return nullptr;
    }
    return const_cast<tviTreeViewItem*>(at);
}

bool tviTreeViewItem::cmdNewItem(bool query, bool* enabled)
{
    *enabled = anchorForNew() != nullptr;
    if (*enabled && !query) {
        tree_->openDialog(tviDialog::newItem, this, utlTexts::sjis(utlText::newItemName));
    }
    return true;
}

bool tviTreeViewItem::cmdNewFolder(bool query, bool* enabled)
{
    *enabled = anchorForNew() != nullptr;
    if (*enabled && !query) {
        tree_->openDialog(tviDialog::newFolder, this, utlTexts::sjis(utlText::newFolderName));
    }
    return true;
}

void tviTreeViewItem::placeForNew(TreeNode& parent, TreeNode& after) const
{
    const tviTreeViewItem* anchor = anchorForNew();
    if (anchor->takesNewInside()) {
        parent = anchor->node_;
        after = kTreeLast;
        return;
    }
    parent = tree_->getParent(anchor->node_);
    after = anchor->node_;
}

bool tviTreeViewItem::cmdNewItemConfirmed(bool query, bool* enabled)
{
    *enabled = anchorForNew() != nullptr;
    if (!*enabled || query || !tree_->dialogData.confirmed) {
        return true;
    }
    const tviDialogData& data = tree_->dialogData;
    std::unique_ptr<tviTreeViewItem> owned = createItem(tree_, typeCabinetItem);
    if (owned == nullptr || !owned->applyProperties(data)) {
        return false;
    }
    static_cast<tviURLItem*>(owned.get())->setNewItem(true);
    tviTreeViewItem* item = tree_->adopt(std::move(owned));
    TreeNode parent, after;
    placeForNew(parent, after);
    if (!item->insertItem(parent, after)) {
        tree_->destroyItem(item);
        return false;
    }
    if (parent != kTreeRoot) {
        tree_->expand(parent, true);
    }
    tree_->selectNode(item->getHandle());
    item->noteChanged();
    if (tree_->engine() != nullptr) {
        tree_->request(item, clsRequestMode::read);
    }
    return true;
}

bool tviTreeViewItem::cmdNewFolderConfirmed(bool query, bool* enabled)
{
    *enabled = anchorForNew() != nullptr;
    if (!*enabled || query || !tree_->dialogData.confirmed) {
        return true;
    }
    const tviDialogData& data = tree_->dialogData;
    std::unique_ptr<tviTreeViewItem> owned = createItem(tree_, typeCabinetFolder);
    if (owned == nullptr || !owned->applyProperties(data)) {
        return false;
    }
    tviTreeViewItem* folder = tree_->adopt(std::move(owned));
    TreeNode parent, after;
    placeForNew(parent, after);
    if (!folder->insertItem(parent, after)) {
        tree_->destroyItem(folder);
        return false;
    }
    if (parent != kTreeRoot) {
        tree_->expand(parent, true);
    }
    tree_->selectNode(folder->getHandle());
    folder->noteChanged();
    return true;
}

bool tviTreeViewItem::cmdProperties(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

bool tviTreeViewItem::cmdCut(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

bool tviTreeViewItem::cmdCopy(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

bool tviTreeViewItem::cmdPaste(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

bool tviTreeViewItem::cmdDelete(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

bool tviTreeViewItem::cmdMoveUp(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

bool tviTreeViewItem::cmdMoveDown(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

bool tviTreeViewItem::cmdMark(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        setMarked(!isMarked());
        noteChanged();
    }
    return true;
}

bool tviTreeViewItem::cmdExpand(bool, bool* enabled)
{
    *enabled = tree_->getFirstChild(node_) != nullptr;
    return true;
}

bool tviTreeViewItem::cmdReExpand(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

bool tviTreeViewItem::cmdExpandAll(bool query, bool* enabled)
{
    *enabled = true;
    if (query) {
        return true;
    }
    if (isUrlType(getType())) {
        setExpandDepth(tree_->settings.treeNode + 2);
        bool expandEnabled = false;
        return cmdExpand(false, &expandEnabled);
    }
    for (TreeNode n : tree_->subtreeNodes(node_)) {
        tree_->expand(n, true);
    }
    return true;
}

bool tviTreeViewItem::isOpenableAddress(const std::string& url, std::string* target)
{
    if (url.empty() || url[0] == '-') {
        return false;
    }
    for (unsigned char c : url) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    std::string path = url;
    if (startsWithNoCase(path, "file://")) {
        path = path.substr(7);
        if (path.empty() || path[0] != '/') {
            return false; // a file on another host
        }
        size_t slash = path.rfind('/');
        size_t hash = path.find('#', slash);
        if (hash != std::string::npos) {
            path.resize(hash);
        }
    } else if (!startsWithNoCase(path, "http://") && !startsWithNoCase(path, "https://") &&
               !startsWithNoCase(path, "ftp://") && path[0] != '/') {
        return false;
    }
    if (target != nullptr) {
        *target = path;
    }
    return true;
}

bool tviTreeViewItem::cmdShowInBrowser(bool query, bool* enabled, bool newWindow)
{
    std::string target;
    *enabled = isOpenableAddress(getUrl(), &target);
    if (!*enabled || query) {
        return true;
    }
    return tree_->openExternal(target, newWindow);
}

bool tviTreeViewItem::cmdShowArchived(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

bool tviTreeViewItem::cmdCharset(int kind, bool query, bool* enabled)
{
    *enabled = getCodeKind() != 0;
    if (!*enabled || query) {
        return true;
    }
    // In the order of the 文字コード menu: automatic, Shift_JIS, EUC, UTF-8.
    static constexpr clsRequestMode modes[] = {
        clsRequestMode::readAgain, clsRequestMode::readAgainSjis, clsRequestMode::readAgainEuc,
        clsRequestMode::readAgainUtf8};
    clearSubItems();
    setFlag(true);
    return tree_->request(this, modes[kind]);
}

namespace {

tviTreeViewItem* shownFootprintCabinet(const ctrlTreeView& tree)
{
    for (TreeNode n = tree.getFirstChild(kTreeRoot); n != nullptr; n = tree.getNextSibling(n)) {
        tviTreeViewItem* item = tree.getItem(n);
        if (item != nullptr && item->keepsFootprints()) {
            return item;
        }
    }
    return nullptr;
}

} // namespace

bool tviTreeViewItem::cmdTakeFootprint(bool query, bool* enabled)
{
    tviTreeViewItem* route = shownFootprintCabinet(*tree_);
    *enabled = isUrlType(getType()) && route != nullptr && !route->isReadOnly();
    if (*enabled && !query) {
        tree_->openDialog(tviDialog::footprint, this, getText());
    }
    return true;
}

bool tviTreeViewItem::cmdFootprintConfirmed(bool query, bool* enabled)
{
    tviTreeViewItem* route = shownFootprintCabinet(*tree_);
    *enabled = isUrlType(getType()) && route != nullptr && !route->isReadOnly();
    if (!*enabled || query || !tree_->dialogData.confirmed) {
        return true;
    }
    return route->keepFootprint(this, tree_->dialogData.name, tree_->dialogData.autoDelete) !=
           nullptr;
}

tviTreeViewItem* tviTreeViewItem::keepFootprint(tviTreeViewItem*, const std::string&, bool)
{
    return nullptr;
}

tviTreeViewItem* tviTreeViewItem::keepSnapshot(const std::string&, const std::string&,
                                               const std::string&, bool)
{
    return nullptr;
}

std::string tviTreeViewItem::proposeSnapshotName(const std::string& text, const std::string&,
                                                 const std::string&) const
{
    return text;
}

void tviTreeViewItem::onRequestNotify(clsNodePhase) {}

bool tviTreeViewItem::onSnapshotNotify(const clsSnapshotReport&, clsSnapshotPhase)
{
    return true;
}

bool tviTreeViewItem::cmdTakeSnapshot(bool query, bool* enabled)
{
    std::string target;
    int type = getType();
    *enabled = tree_->snapshotCabinet() != nullptr && type != typePSSItem &&
               isOpenableAddress(getUrl(), &target) && !startsWithNoCase(getUrl(), "ftp://");
    if (*enabled && !query) {
        // An item named by its address would propose a name the dialog refuses.
        const auto* page = dynamic_cast<const tviURLItem*>(this);
        std::string title = page != nullptr ? page->getTitle() : std::string();
        tree_->openDialog(
            tviDialog::snapshot, this,
            tree_->snapshotCabinet()->proposeSnapshotName(getText(), title, getUrl()));
    }
    return true;
}

bool tviTreeViewItem::cmdSnapshotConfirmed(bool query, bool* enabled)
{
    bool available = false;
    cmdTakeSnapshot(true, &available);
    *enabled = available;
    if (!available || query || !tree_->dialogData.confirmed) {
        return true;
    }
    tviDialogData& data = tree_->dialogData;
    if (data.name.empty()) {
        // The dialog stays open.
        tree_->showMessage(utlTexts::sjis(utlText::enterSnapshotName), "Quillara");
        data.confirmed = false;
        return true;
    }
    return tree_->snapshotCabinet()->keepSnapshot(getUrl(), getDescription(), data.name,
                                                  data.autoDelete) != nullptr;
}

bool tviTreeViewItem::setText(const std::string&)
{
    return true;
}

bool tviTreeViewItem::applyProperties(const tviDialogData& data)
{
    if (data.marked != marked_) {
        setMarked(data.marked);
        noteChanged();
    }
    return true;
}

void tviTreeViewItem::refreshText()
{
    if (node_ != nullptr) {
        tree_->refreshNode(node_);
    }
}

void tviTreeViewItem::setRequest(int number, clsQuillaraItem* request)
{
    requestNumber_ = number;
    if (request == request_) {
        return;
    }
    if (request_ != nullptr) {
        request_->release();
    }
    request_ = request;
    if (request_ != nullptr) {
        request_->addRef();
    }
}

bool tviTreeViewItem::deleteSubtree()
{
    if (node_ == nullptr) {
        return false;
    }
    std::vector<TreeNode> nodes = tree_->subtreeNodes(node_);
    std::vector<tviTreeViewItem*> below;
    below.reserve(nodes.size());
    for (size_t i = 1; i < nodes.size(); ++i) {
        if (tviTreeViewItem* item = tree_->getItem(nodes[i])) {
            below.push_back(item);
        }
    }
    // Requests are withdrawn before any node goes, so that no notification reaches an item
    // that is being destroyed; the cut/copy entry forgets every item of the subtree.
    for (tviTreeViewItem* item : below) {
        if (item->requestNumber_ >= 0) {
            tree_->withdraw(item->requestNumber_, item);
        }
        tree_->forgetItem(item);
        item->node_ = nullptr;
    }
    if (requestNumber_ >= 0) {
        tree_->withdraw(requestNumber_, this);
    }
    tree_->forgetItem(this);
    tree_->deleteNode(node_);
    node_ = nullptr;
    for (tviTreeViewItem* item : below) {
        tree_->destroyItem(item);
    }
    return true;
}

void tviTreeViewItem::leaveTree()
{
    if (requestNumber_ >= 0) {
        tree_->withdraw(requestNumber_, this);
    }
    tree_->forgetItem(this);
    requestNumber_ = -1;
    nextLinkIndex_ = -1;
    links_.reset();
    expandPending_ = false;
}

std::vector<tviDeletedNode> tviTreeViewItem::detachSubtree()
{
    std::vector<tviDeletedNode> kept;
    if (node_ == nullptr) {
        return kept;
    }
    std::vector<TreeNode> nodes = tree_->subtreeNodes(node_);
    std::vector<tviTreeViewItem*> dropped;
    std::set<TreeNode> droppedNodes;
    for (size_t i = 1; i < nodes.size(); ++i) {
        tviTreeViewItem* item = tree_->getItem(nodes[i]);
        if (item == nullptr) {
            continue;
        }
        TreeNode parentNode = tree_->getParent(nodes[i]);
        if (item->isKeptOnDelete() && droppedNodes.count(parentNode) == 0) {
            kept.push_back({item, tree_->getItem(parentNode), tree_->isExpanded(nodes[i])});
        } else {
            dropped.push_back(item);
            droppedNodes.insert(nodes[i]);
        }
    }
    for (const tviDeletedNode& k : kept) {
        k.item->leaveTree();
    }
    for (tviTreeViewItem* item : dropped) {
        if (item->requestNumber_ >= 0) {
            tree_->withdraw(item->requestNumber_, item);
        }
        tree_->forgetItem(item);
    }
    leaveTree();
    for (const tviDeletedNode& k : kept) {
        k.item->node_ = nullptr;
    }
    for (tviTreeViewItem* item : dropped) {
        item->node_ = nullptr;
    }
    tree_->deleteNode(node_);
    node_ = nullptr;
    for (tviTreeViewItem* item : dropped) {
        tree_->destroyItem(item);
    }
    return kept;
}

bool tviTreeViewItem::onUndoDelete()
{
    noteChanged();
    return true;
}

bool tviTreeViewItem::insertAndLoad(TreeNode, TreeNode)
{
    return false;
}

bool tviTreeViewItem::moveTo(TreeNode parent, TreeNode insertAfter)
{
    if (node_ == nullptr || (parent != kTreeRoot && tree_->isInSubtree(parent, node_))) {
        return false;
    }
    TreeNode oldParent = tree_->getParent(node_);
    noteChanged();
    if (!tree_->moveNode(node_, parent, insertAfter)) {
        return false;
    }
    tree_->setOverlay(node_, overlayFor());
    noteChanged();
    if (oldParent != kTreeRoot) {
        tree_->refreshNode(oldParent);
    }
    tree_->selectNode(node_);
    return true;
}

tviTreeViewItem* tviTreeViewItem::copyTo(TreeNode parent, TreeNode insertAfter)
{
    if (node_ == nullptr || (parent != kTreeRoot && tree_->isInSubtree(parent, node_))) {
        return nullptr;
    }
    struct Step {
        TreeNode source;
        TreeNode parent;
        TreeNode after;
    };
    std::vector<Step> work{{node_, parent, insertAfter}};
    tviTreeViewItem* top = nullptr;
    while (!work.empty()) {
        Step step = work.back();
        work.pop_back();
        tviTreeViewItem* source = tree_->getItem(step.source);
        int type = source->copyType();
        std::unique_ptr<tviTreeViewItem> made = type >= 0 ? createItem(tree_, type) : nullptr;
        tviTreeViewItem* copy = made ? tree_->adopt(std::move(made)) : nullptr;
        if (copy == nullptr || !copy->copyFrom(*source) ||
            !copy->insertItem(step.parent, step.after)) {
            // Nothing half-copied stays behind.
            if (copy != nullptr) {
                tree_->destroyItem(copy);
            }
            if (top != nullptr) {
                top->deleteSubtree();
                tree_->destroyItem(top);
            }
            return nullptr;
        }
        copy->marked_ = source->marked_;
        if (top == nullptr) {
            top = copy;
        }
        // Sub-items are rebuilt from the page, never stored: only containers' children go.
        if (isUrlType(source->getType())) {
            continue;
        }
        std::vector<TreeNode> children;
        for (TreeNode c = tree_->getFirstChild(step.source); c != nullptr;
             c = tree_->getNextSibling(c)) {
            children.push_back(c);
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            work.push_back({*it, copy->node_, kTreeFirst});
        }
    }
    if (tree_->isExpanded(node_)) {
        tree_->expand(top->node_, true);
    }
    top->noteChanged();
    tree_->selectNode(top->node_);
    return top;
}

bool tviTreeViewItem::copyFrom(const tviTreeViewItem&)
{
    return true;
}

void tviTreeViewItem::clearSubItems()
{
    std::vector<tviTreeViewItem*> children;
    for (TreeNode c = tree_->getFirstChild(node_); c != nullptr; c = tree_->getNextSibling(c)) {
        tviTreeViewItem* item = tree_->getItem(c);
        if (item != nullptr && item->getType() != typeRSSItem) {
            children.push_back(item);
        }
    }
    for (tviTreeViewItem* item : children) {
        item->deleteSubtree();
        tree_->destroyItem(item);
    }
    nextLinkIndex_ = -1;
    links_.reset();
}

tviTreeViewItem::LinkMemory& tviTreeViewItem::linkMemory()
{
    if (links_ == nullptr) {
        links_ = std::make_unique<LinkMemory>();
    }
    return *links_;
}

bool tviTreeViewItem::matchesSearch(const std::string& text, int options) const
{
    std::vector<std::string> words = searchWords(text);
    return !words.empty() && matchesWords(words, options);
}

bool tviTreeViewItem::matchesWords(const std::vector<std::string>& words, int options) const
{
    return ((options & searchName) != 0 && containsAnyWord(getText(), words)) ||
           ((options & searchComment) != 0 && containsAnyWord(getDescription(), words));
}

std::vector<std::string> tviTreeViewItem::searchWords(const std::string& text)
{
    std::string normal = text;
    normalizeForSearch(normal);
    std::vector<std::string> words;
    // A blank is never the second byte of a double-byte character, so a plain split is safe.
    size_t start = 0;
    while (start <= normal.size()) {
        size_t end = normal.find(' ', start);
        if (end == std::string::npos) {
            end = normal.size();
        }
        if (end > start) {
            words.push_back(normal.substr(start, end - start));
        }
        start = end + 1;
    }
    return words;
}

bool tviTreeViewItem::containsAnyWord(std::string field, const std::vector<std::string>& words)
{
    if (field.empty()) {
        return false;
    }
    normalizeForSearch(field);
    for (const std::string& word : words) {
        // A hit that starts on the second byte of a double-byte character is not a match:
        // "A" must not be found inside a kanji whose second byte is 0x41.
        size_t boundary = 0;
        for (size_t at = field.find(word); at != std::string::npos; at = field.find(word, at + 1)) {
            while (boundary < at) {
                boundary +=
                    platform::isLeadByte(static_cast<unsigned char>(field[boundary])) ? 2 : 1;
            }
            if (boundary == at) {
                return true;
            }
        }
    }
    return false;
}

bool tviTreeViewItem::registerFactory(int typeCode, Factory factory)
{
    if (typeCode < 0 || typeCode > 18) {
        return false;
    }
    factories()[typeCode] = factory;
    return true;
}

std::unique_ptr<tviTreeViewItem> tviTreeViewItem::createItem(ctrlTreeView* tree, int typeCode)
{
    switch (typeCode) {
    case typeSubItem:
    case typeFrameItem: return std::make_unique<tviSubItem>(tree, typeCode);
    default: break;
    }
    if (typeCode < 0 || typeCode > 18 || factories()[typeCode] == nullptr) {
        return nullptr;
    }
    return factories()[typeCode](tree, typeCode);
}

bool tviTreeViewItem::isUrlType(int type)
{
    return type == typeSubItem || type == typeFrameItem || type == typeCabinetItem ||
           type == typeRSSItem || type == typeIEItem || type == typeNNItem;
}

tviTreeViewItem* tviTreeViewItem::parentItem() const
{
    if (node_ == nullptr) {
        return nullptr;
    }
    return tree_->getItem(tree_->getParent(node_));
}

tviCabinet* tviTreeViewItem::cabinet() const
{
    return node_ != nullptr ? tree_->cabinetOf(node_) : nullptr;
}

void tviTreeViewItem::noteChanged() const
{
    if (node_ != nullptr) {
        tree_->noteChanged(node_);
    }
}

// --- Rules shared by the cabinet's folders and items ---

bool tviTreeViewItem::putOnClipboard(tviClipMode mode, bool query, bool* enabled)
{
    *enabled = mode == tviClipMode::copy || !isReadOnly();
    if (!*enabled || query) {
        return true;
    }
    tree_->setClipboard(this, mode);
    if (mode == tviClipMode::copy && isUrlType(getType())) {
        // A failing system clipboard is ignored: the entry inside the tree is set anyway.
        tree_->setClipboardText(getUrl());
    }
    return true;
}

bool tviTreeViewItem::deleteHere(bool query, bool* enabled)
{
    *enabled = node_ != nullptr && (getType() == typeCabinetFolder || !isReadOnly());
    if (!*enabled || query) {
        return true;
    }
    TreeNode parent = tree_->getParent(node_);
    TreeNode previous = tree_->getPrevSibling(node_);
    bool expanded = tree_->isExpanded(node_);
    noteChanged();
    // Everything below goes into the deletion buffer with the item, so that undo brings the
    // subtree back whole.
    std::vector<tviDeletedNode> below = detachSubtree();
    tree_->bufferDeletion(this, parent, previous, std::move(below), expanded);
    return true;
}

namespace {

bool isCabinetType(int type)
{
    return type == typeCabinet || type == typeQuillaraCabinet;
}

// At the edge of its parent: out of a folder, or over the edge of a cabinet into the nearest
// writable cabinet in that direction.
std::optional<utlTreePlace> stepOverEdge(const ctrlTreeView& tree, TreeNode node, bool up)
{
    TreeNode parentNode = tree.getParent(node);
    tviTreeViewItem* parent = tree.getItem(parentNode);
    if (parent == nullptr) {
        return std::nullopt;
    }
    if (!isCabinetType(parent->getType())) {
        return stepOutOf(tree, parentNode, up);
    }
    TreeNode other = parentNode;
    while (true) {
        other = up ? tree.getPrevSibling(other) : tree.getNextSibling(other);
        if (other == nullptr) {
            return std::nullopt;
        }
        tviTreeViewItem* candidate = tree.getItem(other);
        // Going down, the cabinets end at the first root that is not one (the footprints, the
        // snapshots, Favorites): a cabinet opened behind those is not the next one.
        if (!up && (candidate == nullptr || !isCabinetType(candidate->getType()))) {
            return std::nullopt;
        }
        bool eligible =
            candidate != nullptr && !candidate->isReadOnly() &&
            (up ? isCabinetType(candidate->getType()) : candidate->getType() == typeCabinet);
        if (eligible) {
            return utlTreePlace{other, up ? kTreeLast : kTreeFirst};
        }
    }
}

bool isCopyableType(int type)
{
    return type == typeSubItem || type == typeCabinetFolder || type == typeCabinetItem ||
           type == typeRSSItem || (type >= typeInternetExplorer && type <= typeFrameItem);
}

} // namespace

bool tviTreeViewItem::pasteHere(bool query, bool* enabled)
{
    tviTreeViewItem* entry = tree_->clipboardItem();
    *enabled = false;
    if (entry == nullptr || entry->node_ == nullptr || isReadOnly() || node_ == nullptr) {
        return true;
    }
    bool cut = tree_->clipboardMode() == tviClipMode::cut;
    int entryType = entry->getType();
    int type = getType();
    TreeNode parent = kTreeRoot;
    TreeNode after = kTreeFirst;
    if (cut && isCabinetType(type) && entryType == typeCabinet) {
        parent = kTreeRoot;
        after = node_;
    } else if (cut && entryType != typeCabinetFolder && entryType != typeCabinetItem) {
        return true;
    } else if (!cut && !isCopyableType(entryType)) {
        return true;
    } else if (isCabinetType(type)) {
        parent = node_;
    } else if (type == typeCabinetFolder) {
        bool inside = tree_->getFirstChild(node_) == nullptr || tree_->isExpanded(node_);
        parent = inside ? node_ : tree_->getParent(node_);
        after = inside ? kTreeFirst : node_;
    } else {
        parent = tree_->getParent(node_);
        after = node_;
    }
    // An entry pasted or dropped onto itself or anything below it would have to contain
    // itself: refused (a copy would never end).
    if (tree_->isInSubtree(node_, entry->node_)) {
        return true;
    }
    *enabled = true;
    if (query) {
        return true;
    }
    if (type == typeCabinetFolder) {
        switch (tree_->choosePastePlace()) {
        case tviPastePlace::inside:
            parent = node_;
            after = kTreeFirst;
            break;
        case tviPastePlace::below:
            parent = tree_->getParent(node_);
            after = node_;
            break;
        case tviPastePlace::cancel: return true;
        case tviPastePlace::automatic: break;
        }
    }
    bool ok = cut ? entry->moveTo(parent, after) : entry->copyTo(parent, after) != nullptr;
    if (ok) {
        tree_->clearClipboard();
    }
    return ok;
}

bool tviTreeViewItem::moveStep(bool up, bool query, bool* enabled)
{
    *enabled = false;
    if (node_ == nullptr || isReadOnly()) {
        return true;
    }
    std::optional<utlTreePlace> place = stepAmongSiblings(*tree_, node_, up, typeCabinetFolder);
    if (!place) {
        place = stepOverEdge(*tree_, node_, up);
    }
    if (!place) {
        return true;
    }
    *enabled = true;
    if (query) {
        return true;
    }
    return moveTo(place->parent, place->after);
}
