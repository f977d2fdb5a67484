#pragma once

#include "TreeViewItem/Browser/tviBrowserFolder.h"

// A folder of the Netscape bookmark cabinet.
class tviNNFolder : public tviBrowserFolder {
public:
    explicit tviNNFolder(ctrlTreeView* tree);
    ~tviNNFolder() override;

    int getType() const override { return typeNNFolder; }
};
