#include "TreeViewItem/Base/utlTreeStep.h"

#include "TreeViewItem/Base/tviTreeViewItem.h"

namespace {

bool isFolder(const ctrlTreeView& tree, TreeNode node, int folderType)
{
    const tviTreeViewItem* item = tree.getItem(node);
    return item != nullptr && item->getType() == folderType;
}

// Behind the node before sibling, or first when there is none.
TreeNode before(const ctrlTreeView& tree, TreeNode sibling)
{
    TreeNode previous = tree.getPrevSibling(sibling);
    return previous != nullptr ? previous : kTreeFirst;
}

} // namespace

std::optional<utlTreePlace> stepAmongSiblings(const ctrlTreeView& tree, TreeNode node, bool up,
                                              int folderType)
{
    TreeNode sibling = up ? tree.getPrevSibling(node) : tree.getNextSibling(node);
    if (sibling == nullptr)
        return std::nullopt;
    if (isFolder(tree, sibling, folderType) &&
        (tree.getFirstChild(sibling) == nullptr || tree.isExpanded(sibling)))
        return utlTreePlace{sibling, up ? kTreeLast : kTreeFirst};
    return utlTreePlace{tree.getParent(node), up ? before(tree, sibling) : sibling};
}

utlTreePlace stepOutOf(const ctrlTreeView& tree, TreeNode parent, bool up)
{
    return {tree.getParent(parent), up ? before(tree, parent) : parent};
}

std::optional<utlTreePlace> stepPlace(const ctrlTreeView& tree, TreeNode node, bool up,
                                      int folderType)
{
    std::optional<utlTreePlace> place = stepAmongSiblings(tree, node, up, folderType);
    if (place)
        return place;
    TreeNode parent = tree.getParent(node);
    if (!isFolder(tree, parent, folderType))
        return std::nullopt;
    return stepOutOf(tree, parent, up);
}
