#pragma once

#include "TreeViewItem/Base/ctrlTreeView.h"

#include <optional>

// Where a node goes: under parent, behind after (kTreeFirst: first).
struct utlTreePlace {
    TreeNode parent;
    TreeNode after;
};

// The moves up and down of the cabinets walk into and out of folders the same way; only what a
// folder is differs between them (folderType).

// One step past the neighbouring node: into it when it is a folder that is empty or open (last
// going up, first going down), else over it. Nothing when node is at the edge of its parent.
std::optional<utlTreePlace> stepAmongSiblings(const ctrlTreeView& tree, TreeNode node, bool up,
                                              int folderType);
// One step out of parent, for a node at its edge: just before it going up, just behind it
// going down.
utlTreePlace stepOutOf(const ctrlTreeView& tree, TreeNode parent, bool up);
// Both: among the siblings, else out of a parent that is a folder. Nothing at the edge of
// anything else (the cabinet).
std::optional<utlTreePlace> stepPlace(const ctrlTreeView& tree, TreeNode node, bool up,
                                      int folderType);
