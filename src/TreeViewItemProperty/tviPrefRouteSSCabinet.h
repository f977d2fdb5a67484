#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// The footprint cabinet's page: name, note and file, and the ageing it applies (all shown only).
class tviPrefRouteSSCabinet : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefRouteSSCabinet(QWidget* parent = nullptr);
    ~tviPrefRouteSSCabinet() override;

    void initvalue(const tviTreeViewItem& item) override;
};
