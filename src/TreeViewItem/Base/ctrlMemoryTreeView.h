#pragma once

#include "TreeViewItem/Base/ctrlTreeView.h"

#include <memory>
#include <vector>

// The tree in memory, for the command-line program and the tests. Nodes live in a pool and
// link to each other by pointer; nothing recurses.
class ctrlMemoryTreeView : public ctrlTreeView {
public:
    ctrlMemoryTreeView();
    ~ctrlMemoryTreeView() override;

    bool moveNode(TreeNode node, TreeNode newParent, TreeNode insertAfter) override;
    tviTreeViewItem* getItem(TreeNode node) const override;
    TreeNode getParent(TreeNode node) const override;
    TreeNode getFirstChild(TreeNode node) const override;
    TreeNode getNextSibling(TreeNode node) const override;
    TreeNode getPrevSibling(TreeNode node) const override;
    bool isExpanded(TreeNode node) const override;
    bool expand(TreeNode node, bool expanded) override;
    void refreshNode(TreeNode node) override;
    void setOverlay(TreeNode node, int overlay) override;
    int getOverlay(TreeNode node) const override;
    bool selectNode(TreeNode node) override;
    TreeNode getSelection() const override;

    size_t nodeCount() const { return live_; }
    // How often refreshNode was called for node (a test sees the view being told).
    int refreshCount(TreeNode node) const;
    // After this many more insertions every insertNode fails (-1: never), to test the
    // failure paths.
    int insertsBeforeFailure = -1;

protected:
    TreeNode doInsertNode(TreeNode parent, TreeNode insertAfter, tviTreeViewItem* item) override;
    bool doDeleteNode(TreeNode node) override;

private:
    struct Node;
    Node* node(TreeNode handle) const;
    void link(Node* n, Node* parent, Node* after);
    void unlink(Node* n);
    Node* root_;
    // Nodes are made in blocks of blockSize, never moved, and reused through free_.
    static constexpr size_t blockSize = 1024;
    std::vector<std::unique_ptr<Node[]>> blocks_;
    size_t blockUsed_ = blockSize;
    std::vector<Node*> free_;
    size_t live_ = 0;
    Node* selection_ = nullptr;
};
