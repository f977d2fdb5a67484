#include "TreeViewItem/Base/tviTreeSearch.h"

#include "Common/utlTexts.h"
#include "Engine/Text/utlStatusText.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"

namespace {

TreeNode lastChild(const ctrlTreeView& tree, TreeNode node)
{
    TreeNode last = nullptr;
    for (TreeNode c = tree.getFirstChild(node); c != nullptr; c = tree.getNextSibling(c)) {
        last = c;
    }
    return last;
}

// The last node of node's subtree in document order.
TreeNode deepestLast(const ctrlTreeView& tree, TreeNode node)
{
    for (TreeNode c = lastChild(tree, node); c != nullptr; c = lastChild(tree, node)) {
        node = c;
    }
    return node;
}

// Whether entry begins with text, ignoring ASCII case. A double-byte character compares
// whole and exactly: its trail byte may fall in the ASCII letter range.
bool startsWithNoCase(const std::string& entry, const std::string& text)
{
    if (entry.size() < text.size()) {
        return false;
    }
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (size_t i = 0; i < text.size(); ++i) {
        if (platform::isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            if (entry[i] != text[i] || entry[i + 1] != text[i + 1]) {
                return false;
            }
            ++i;
            continue;
        }
        if (lower(entry[i]) != lower(text[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

TreeNode tviTreeSearch::nextNode(const ctrlTreeView& tree, TreeNode node)
{
    if (node == kTreeRoot) {
        return tree.getFirstChild(kTreeRoot);
    }
    if (TreeNode child = tree.getFirstChild(node)) {
        return child;
    }
    for (TreeNode n = node; n != kTreeRoot; n = tree.getParent(n)) {
        if (TreeNode sibling = tree.getNextSibling(n)) {
            return sibling;
        }
    }
    return nullptr;
}

TreeNode tviTreeSearch::previousNode(const ctrlTreeView& tree, TreeNode node)
{
    if (node == kTreeRoot) {
        TreeNode last = lastChild(tree, kTreeRoot);
        return last != nullptr ? deepestLast(tree, last) : nullptr;
    }
    if (TreeNode sibling = tree.getPrevSibling(node)) {
        return deepestLast(tree, sibling);
    }
    return tree.getParent(node);
}

bool tviTreeSearch::matches(const tviTreeViewItem& item, const tviSearchRequest& request)
{
    switch (request.mode) {
    case tviSearchMode::text: return item.matchesSearch(request.text, request.options);
    case tviSearchMode::mark: return item.isMarked();
    case tviSearchMode::deadLink: return item.getStatus() == clsRequestStatus::failed;
    }
    return false;
}

TreeNode tviTreeSearch::find(const ctrlTreeView& tree, TreeNode from,
                             const tviSearchRequest& request)
{
    bool down = request.direction == tviSearchDirection::down;
    if (request.mode == tviSearchMode::text && tviTreeViewItem::searchWords(request.text).empty()) {
        return nullptr;
    }
    TreeNode node = from;
    while (true) {
        node = down ? nextNode(tree, node) : previousNode(tree, node);
        if (node == nullptr) {
            return nullptr;
        }
        const tviTreeViewItem* item = tree.getItem(node);
        if (item != nullptr && matches(*item, request)) {
            return node;
        }
    }
}

bool tviTreeSearch::run(ctrlTreeView& tree, const tviSearchRequest& request)
{
    TreeNode from = tree.getSelection();
    TreeNode found = find(tree, from, request);
    if (found == nullptr || !tree.selectNode(found)) {
        setStatusText(endMessage(request.mode), statusPaneWhole);
        return false;
    }
    return true;
}

std::string tviTreeSearch::endMessage(tviSearchMode mode)
{
    switch (mode) {
    case tviSearchMode::mark: return utlTexts::sjis(utlText::markSearchFinished);
    case tviSearchMode::deadLink: return utlTexts::sjis(utlText::deadLinkSearchFinished);
    case tviSearchMode::text: break;
    }
    return utlTexts::sjis(utlText::searchFinished);
}

void tviTreeSearch::addToHistory(std::vector<std::string>& history, const std::string& text)
{
    // Every entry begins with the empty text: an empty search must not cost the top entry.
    if (text.empty()) {
        return;
    }
    for (auto it = history.begin(); it != history.end(); ++it) {
        if (startsWithNoCase(*it, text)) {
            history.erase(it);
            break;
        }
    }
    history.insert(history.begin(), text);
}
