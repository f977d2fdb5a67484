#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// The page of a cabinet (types 1 and 2): everything is shown, nothing is edited.
class tviPrefCabinet : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefCabinet(QWidget* parent = nullptr);
    ~tviPrefCabinet() override;

    void initvalue(const tviTreeViewItem& item) override;
};
