#pragma once

#include "TreeViewItem/Browser/tviBrowserFolder.h"

// A folder of the Favorites cabinet.
class tviIEFolder : public tviBrowserFolder {
public:
    explicit tviIEFolder(ctrlTreeView* tree);
    ~tviIEFolder() override;

    int getType() const override { return typeIEFolder; }
};
