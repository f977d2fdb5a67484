#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// The snapshot cabinet's page: name, note and directory, and the ageing it applies (all shown only).
class tviPrefPageSSCabinet : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefPageSSCabinet(QWidget* parent = nullptr);
    ~tviPrefPageSSCabinet() override;

    void initvalue(const tviTreeViewItem& item) override;
};
