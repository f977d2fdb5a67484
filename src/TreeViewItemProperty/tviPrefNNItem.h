#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// A bookmark's page: everything shown only, the page information included.
class tviPrefNNItem : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefNNItem(QWidget* parent = nullptr);
    ~tviPrefNNItem() override;

    void initvalue(const tviTreeViewItem& item) override;
};
