#include "TreeViewItem/Base/ctrlMemoryTreeView.h"

struct ctrlMemoryTreeView::Node {
    tviTreeViewItem* item = nullptr;
    Node* parent = nullptr;
    Node* firstChild = nullptr;
    Node* lastChild = nullptr;
    Node* prev = nullptr;
    Node* next = nullptr;
    bool expanded = false;
    bool live = false;
    int overlay = 0;
    int refreshes = 0;
};

ctrlMemoryTreeView::ctrlMemoryTreeView() : root_(new Node)
{
    root_->live = true;
}

ctrlMemoryTreeView::~ctrlMemoryTreeView()
{
    destroyAllItems();
    delete root_;
}

ctrlMemoryTreeView::Node* ctrlMemoryTreeView::node(TreeNode handle) const
{
    if (handle == kTreeRoot) {
        return root_;
    }
    Node* n = reinterpret_cast<Node*>(handle);
    return n->live ? n : nullptr;
}

void ctrlMemoryTreeView::link(Node* n, Node* parent, Node* after)
{
    n->parent = parent;
    n->prev = after;
    n->next = after != nullptr ? after->next : parent->firstChild;
    if (n->next != nullptr) {
        n->next->prev = n;
    } else {
        parent->lastChild = n;
    }
    if (after != nullptr) {
        after->next = n;
    } else {
        parent->firstChild = n;
    }
}

void ctrlMemoryTreeView::unlink(Node* n)
{
    Node* parent = n->parent;
    (n->prev != nullptr ? n->prev->next : parent->firstChild) = n->next;
    (n->next != nullptr ? n->next->prev : parent->lastChild) = n->prev;
    n->parent = n->prev = n->next = nullptr;
}

TreeNode ctrlMemoryTreeView::doInsertNode(TreeNode parent, TreeNode insertAfter,
                                          tviTreeViewItem* item)
{
    if (insertsBeforeFailure == 0) {
        return nullptr;
    }
    if (insertsBeforeFailure > 0) {
        --insertsBeforeFailure;
    }
    Node* p = node(parent);
    if (p == nullptr) {
        return nullptr;
    }
    Node* after = nullptr;
    if (insertAfter == kTreeLast) {
        after = p->lastChild;
    } else if (insertAfter != kTreeFirst) {
        after = node(insertAfter);
        if (after == nullptr || after->parent != p) {
            return nullptr;
        }
    }
    Node* n;
    if (!free_.empty()) {
        n = free_.back();
        free_.pop_back();
        *n = Node{};
    } else {
        if (blockUsed_ == blockSize) {
            blocks_.push_back(std::make_unique<Node[]>(blockSize));
            blockUsed_ = 0;
        }
        n = &blocks_.back()[blockUsed_++];
    }
    n->item = item;
    n->live = true;
    link(n, p, after);
    ++live_;
    return reinterpret_cast<TreeNode>(n);
}

bool ctrlMemoryTreeView::doDeleteNode(TreeNode handle)
{
    Node* top = handle == kTreeRoot ? nullptr : node(handle);
    if (top == nullptr) {
        return false;
    }
    unlink(top);
    // Frees the subtree without recursion: each node's children are moved to a work list.
    std::vector<Node*> work{top};
    while (!work.empty()) {
        Node* n = work.back();
        work.pop_back();
        for (Node* c = n->firstChild; c != nullptr; c = c->next) {
            work.push_back(c);
        }
        if (selection_ == n) {
            selection_ = nullptr;
        }
        n->live = false;
        n->item = nullptr;
        free_.push_back(n);
        --live_;
    }
    return true;
}

bool ctrlMemoryTreeView::moveNode(TreeNode handle, TreeNode newParent, TreeNode insertAfter)
{
    Node* n = handle == kTreeRoot ? nullptr : node(handle);
    Node* p = node(newParent);
    if (n == nullptr || p == nullptr) {
        return false;
    }
    for (Node* a = p; a != nullptr; a = a->parent) {
        if (a == n) {
            return false;
        }
    }
    Node* after = nullptr;
    if (insertAfter == kTreeLast) {
        after = p->lastChild == n ? n->prev : p->lastChild;
    } else if (insertAfter != kTreeFirst) {
        after = node(insertAfter);
        if (after == nullptr || after->parent != p) {
            return false;
        }
        if (after == n) {
            return true;
        }
    }
    unlink(n);
    link(n, p, after);
    return true;
}

tviTreeViewItem* ctrlMemoryTreeView::getItem(TreeNode handle) const
{
    Node* n = handle == kTreeRoot ? nullptr : node(handle);
    return n != nullptr ? n->item : nullptr;
}

TreeNode ctrlMemoryTreeView::getParent(TreeNode handle) const
{
    Node* n = handle == kTreeRoot ? nullptr : node(handle);
    if (n == nullptr || n->parent == root_) {
        return kTreeRoot;
    }
    return reinterpret_cast<TreeNode>(n->parent);
}

TreeNode ctrlMemoryTreeView::getFirstChild(TreeNode handle) const
{
    Node* n = node(handle);
    return n != nullptr ? reinterpret_cast<TreeNode>(n->firstChild) : nullptr;
}

TreeNode ctrlMemoryTreeView::getNextSibling(TreeNode handle) const
{
    Node* n = handle == kTreeRoot ? nullptr : node(handle);
    return n != nullptr ? reinterpret_cast<TreeNode>(n->next) : nullptr;
}

TreeNode ctrlMemoryTreeView::getPrevSibling(TreeNode handle) const
{
    Node* n = handle == kTreeRoot ? nullptr : node(handle);
    return n != nullptr ? reinterpret_cast<TreeNode>(n->prev) : nullptr;
}

bool ctrlMemoryTreeView::isExpanded(TreeNode handle) const
{
    Node* n = handle == kTreeRoot ? nullptr : node(handle);
    return n != nullptr && n->expanded;
}

bool ctrlMemoryTreeView::expand(TreeNode handle, bool expanded)
{
    Node* n = handle == kTreeRoot ? nullptr : node(handle);
    if (n == nullptr || (expanded && n->firstChild == nullptr)) {
        return false;
    }
    n->expanded = expanded;
    return true;
}

void ctrlMemoryTreeView::refreshNode(TreeNode handle)
{
    if (Node* n = handle == kTreeRoot ? nullptr : node(handle)) {
        ++n->refreshes;
    }
}

int ctrlMemoryTreeView::refreshCount(TreeNode handle) const
{
    Node* n = handle == kTreeRoot ? nullptr : node(handle);
    return n != nullptr ? n->refreshes : 0;
}

void ctrlMemoryTreeView::setOverlay(TreeNode handle, int overlay)
{
    if (Node* n = handle == kTreeRoot ? nullptr : node(handle)) {
        n->overlay = overlay;
    }
}

int ctrlMemoryTreeView::getOverlay(TreeNode handle) const
{
    Node* n = handle == kTreeRoot ? nullptr : node(handle);
    return n != nullptr ? n->overlay : 0;
}

bool ctrlMemoryTreeView::selectNode(TreeNode handle)
{
    Node* n = handle == kTreeRoot ? nullptr : node(handle);
    selection_ = n;
    return n != nullptr;
}

TreeNode ctrlMemoryTreeView::getSelection() const
{
    return reinterpret_cast<TreeNode>(selection_);
}
