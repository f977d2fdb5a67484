#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// A page of a footprint: name, note and mark; the address and what the page said are shown.
class tviPrefRouteSSItem : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefRouteSSItem(QWidget* parent = nullptr);
    ~tviPrefRouteSSItem() override;

    void initvalue(const tviTreeViewItem& item) override;
    bool isEditable() const override { return editable_; }

private:
    bool editable_ = false;
};
