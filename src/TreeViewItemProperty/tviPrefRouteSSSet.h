#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// A footprint's page: name, note, mark, the auto-delete choice and its dates.
class tviPrefRouteSSSet : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefRouteSSSet(QWidget* parent = nullptr);
    ~tviPrefRouteSSSet() override;

    void initvalue(const tviTreeViewItem& item) override;
    bool isEditable() const override { return editable_; }

private:
    bool editable_ = false;
};
