#pragma once

#include "TreeViewItem/tviCabinetFile.h"
#include "TreeViewItem/ctrlTreeView.h"
#include "TreeViewItem/tviTreeViewItem.h"

#include <memory>
#include <vector>

// Builds the folders and items of a document read from a bookmark file or a Favorites
// directory below root, as objects of the source's own classes (Folder needs setName,
// setDescription, setDates; Item also setUrl). Entries name their parents by index, so this
// never recurses. False when a node could not be made; what was made stays.
template <class Folder, class Item>
bool buildSourceTree(tviTreeViewItem& root, tviCabinetDocument&& doc)
{
    ctrlTreeView* t = root.tree();
    t->reserveItems(doc.entries.size());
    std::vector<TreeNode> nodes(doc.entries.size(), nullptr);
    bool ok = true;
    for (size_t i = 0; i < doc.entries.size(); ++i) {
        tviCabinetEntry& e = doc.entries[i];
        TreeNode parent = root.getHandle();
        if (e.parent >= 0) {
            if (static_cast<size_t>(e.parent) >= i || nodes[e.parent] == nullptr) {
                continue;
            }
            parent = nodes[e.parent];
        }
        tviTreeViewItem* item = nullptr;
        if (e.type == typeCabinetFolder) {
            auto folder = std::make_unique<Folder>(t);
            folder->setName(std::move(e.name));
            folder->setDescription(std::move(e.description));
            folder->setDates(e.addDate, e.lastModified);
            item = t->adopt(std::move(folder));
        } else {
            auto entry = std::make_unique<Item>(t);
            entry->setName(std::move(e.name));
            entry->setUrl(e.url);
            entry->setKeywords(std::move(e.keyword));
            entry->setDescription(std::move(e.description));
            entry->setDates(e.addDate, e.lastModified);
            item = t->adopt(std::move(entry));
        }
        if (!item->insertItem(parent, kTreeLast)) {
            t->destroyItem(item);
            ok = false;
            continue;
        }
        nodes[i] = item->getHandle();
    }
    return ok;
}
