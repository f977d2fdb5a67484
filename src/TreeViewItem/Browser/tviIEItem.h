#pragma once

#include "TreeViewItem/Browser/tviBrowserItem.h"

// An entry of the Favorites cabinet.
class tviIEItem : public tviBrowserItem {
public:
    explicit tviIEItem(ctrlTreeView* tree);
    ~tviIEItem() override;

    int getType() const override { return typeIEItem; }
};
