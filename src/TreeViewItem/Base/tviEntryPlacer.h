#pragma once

#include "TreeViewItem/Base/ctrlTreeView.h"

#include <memory>
#include <vector>

class tviTreeViewItem;

// Puts the items made from a document's entries into the tree below one top node, in document
// order. Each entry names its folder by index (-1: the top), so nothing recurses, and entries
// may arrive one at a time as a reader finds them. An entry whose folder could not be made is
// left out with everything below it. The items are handed to the tree's item table together
// when the placer ends (nothing asks the table about them while they are being made).
class tviEntryPlacer {
public:
    tviEntryPlacer(ctrlTreeView* tree, TreeNode top);
    ~tviEntryPlacer();
    tviEntryPlacer(const tviEntryPlacer&) = delete;
    tviEntryPlacer& operator=(const tviEntryPlacer&) = delete;

    // The next entry, inside folder entry parent: make() gives its item, which goes last
    // under that folder's node. make is not called when the folder is missing.
    template <class Make>
    void add(int parent, Make&& make)
    {
        TreeNode at = parentNode(parent);
        nodes_.push_back(at != nullptr ? insert(make(), at) : nullptr);
    }
    template <class Entry, class Make>
    void addAll(std::vector<Entry>& entries, Make&& make)
    {
        nodes_.reserve(nodes_.size() + entries.size());
        for (Entry& e : entries) {
            add(e.parent, [&] { return make(e); });
        }
    }
    // False when a node could not be made (what was made stays).
    bool ok() const { return ok_; }
    // Hands the items made so far to the tree's item table.
    void finish();

private:
    TreeNode parentNode(int parent) const;
    TreeNode insert(std::unique_ptr<tviTreeViewItem> item, TreeNode parent);
    ctrlTreeView* tree_;
    TreeNode top_;
    std::vector<TreeNode> nodes_; // per entry; null when it made no node
    std::vector<tviTreeViewItem*> made_;
    bool ok_ = true;
};
