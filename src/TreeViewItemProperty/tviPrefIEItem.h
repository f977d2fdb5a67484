#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// A Favorites entry's page: everything shown only, the page information included.
class tviPrefIEItem : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefIEItem(QWidget* parent = nullptr);
    ~tviPrefIEItem() override;

    void initvalue(const tviTreeViewItem& item) override;
};
