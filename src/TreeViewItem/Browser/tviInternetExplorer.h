#pragma once

#include "TreeViewItem/Browser/tviBrowserCabinet.h"

#include <string>

// The Favorites directory shown as a cabinet, "Internet Explorer お気に入り": a directory of .url files read
// whole when shown (setting FavoritesFolder), never written.
class tviInternetExplorer : public tviBrowserCabinet {
public:
    explicit tviInternetExplorer(ctrlTreeView* tree);
    ~tviInternetExplorer() override;

    int getType() const override { return typeInternetExplorer; }
    std::string getText() const override;

protected:
    std::unique_ptr<tviBrowserFolder> newFolder() override;
    std::unique_ptr<tviBrowserItem> newItem() override;
};
