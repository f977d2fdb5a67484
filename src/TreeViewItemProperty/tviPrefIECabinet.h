#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// The Favorites cabinet's page: everything shown only, the source is never written.
class tviPrefIECabinet : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefIECabinet(QWidget* parent = nullptr);
    ~tviPrefIECabinet() override;

    void initvalue(const tviTreeViewItem& item) override;
};
