#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// A bookmark folder's page: everything shown only.
class tviPrefNNFolder : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefNNFolder(QWidget* parent = nullptr);
    ~tviPrefNNFolder() override;

    void initvalue(const tviTreeViewItem& item) override;
};
