#pragma once

#include "TreeViewItem/Browser/tviBrowserCabinet.h"

#include <string>

// The Netscape bookmark file shown as a cabinet, "Netscape Navigator ブックマーク": read whole when shown
// (setting NNBKName), never written.
class tviNetscapeNavigator : public tviBrowserCabinet {
public:
    explicit tviNetscapeNavigator(ctrlTreeView* tree);
    ~tviNetscapeNavigator() override;

    int getType() const override { return typeNetscapeNavigator; }
    std::string getText() const override;

protected:
    std::unique_ptr<tviBrowserFolder> newFolder() override;
    std::unique_ptr<tviBrowserItem> newItem() override;
};
