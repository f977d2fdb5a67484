#pragma once

#include "TreeViewItem/Base/ctrlTreeView.h"

#include <string>
#include <vector>

class tviTreeViewItem;

// What a search looks for: mode 1 text, 2 marked items, 3 dead links.
enum class tviSearchMode : int { text = 1, mark = 2, deadLink = 3 };
// Direction 1 towards the top of the tree, 2 towards its end.
enum class tviSearchDirection : int { up = 1, down = 2 };

struct tviSearchRequest {
    tviSearchMode mode = tviSearchMode::text;
    tviSearchDirection direction = tviSearchDirection::down;
    std::string text; // Shift_JIS, as typed: words separated by spaces
    int options = 0;  // tviSearchOption bits: the fields a text search looks at
};

// The tree search of the search dialog, of the mark and dead-link commands and of
// `quillara-cli search`. It walks the nodes present in the tree in document order (a node,
// its children top to bottom, then its next sibling) or the reverse, from the node after the
// start; the start itself is not tested and there is no wrap-around.
class tviTreeSearch {
public:
    // The node after node in document order (null at the end); kTreeRoot gives the first.
    static TreeNode nextNode(const ctrlTreeView& tree, TreeNode node);
    // The node before node (null at the beginning); kTreeRoot gives the last of the tree.
    static TreeNode previousNode(const ctrlTreeView& tree, TreeNode node);
    // Whether item is what request looks for.
    static bool matches(const tviTreeViewItem& item, const tviSearchRequest& request);
    // The first matching node after from in the request's direction, or null. From kTreeRoot
    // the walk starts at the first (down) or the last (up) node, which is tested.
    static TreeNode find(const ctrlTreeView& tree, TreeNode from, const tviSearchRequest& request);
    // Searches from the selection and selects the match; when there is none the selection
    // stays and the status bar says that the search has ended. True when a node was found.
    static bool run(ctrlTreeView& tree, const tviSearchRequest& request);
    // "検索が終了しました。" and its mark and dead-link forms (Shift_JIS).
    static std::string endMessage(tviSearchMode mode);

    // The search text's history, most recent first: the first entry that begins with text
    // (ASCII case ignored) is removed and text goes to the top; an empty text changes nothing.
    static void addToHistory(std::vector<std::string>& history, const std::string& text);
};
