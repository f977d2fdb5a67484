#include "TreeViewItem/Base/tviEntryPlacer.h"

#include "TreeViewItem/Base/tviTreeViewItem.h"

tviEntryPlacer::tviEntryPlacer(ctrlTreeView* tree, TreeNode top) : tree_(tree), top_(top) {}

tviEntryPlacer::~tviEntryPlacer()
{
    finish();
}

TreeNode tviEntryPlacer::parentNode(int parent) const
{
    if (parent < 0) {
        return top_;
    }
    return static_cast<size_t>(parent) < nodes_.size() ? nodes_[static_cast<size_t>(parent)]
                                                       : nullptr;
}

TreeNode tviEntryPlacer::insert(std::unique_ptr<tviTreeViewItem> item, TreeNode parent)
{
    if (!item->insertItem(parent, kTreeLast)) {
        ok_ = false;
        return nullptr; // a node-less item that nothing knows yet: it simply goes
    }
    made_.push_back(item.release());
    return made_.back()->getHandle();
}

void tviEntryPlacer::finish()
{
    if (!made_.empty()) {
        tree_->adoptAll(made_);
        made_.clear();
    }
}
