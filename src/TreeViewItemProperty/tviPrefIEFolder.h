#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// A Favorites folder's page: everything shown only.
class tviPrefIEFolder : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefIEFolder(QWidget* parent = nullptr);
    ~tviPrefIEFolder() override;

    void initvalue(const tviTreeViewItem& item) override;
};
