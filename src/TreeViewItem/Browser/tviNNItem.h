#pragma once

#include "TreeViewItem/Browser/tviBrowserItem.h"

// An entry of the Netscape bookmark cabinet.
class tviNNItem : public tviBrowserItem {
public:
    explicit tviNNItem(ctrlTreeView* tree);
    ~tviNNItem() override;

    int getType() const override { return typeNNItem; }
};
