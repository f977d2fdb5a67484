#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// A footprint folder's page: name, note and mark, read-only when the footprint file is.
class tviPrefRouteSSFolder : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefRouteSSFolder(QWidget* parent = nullptr);
    ~tviPrefRouteSSFolder() override;

    void initvalue(const tviTreeViewItem& item) override;
    bool isEditable() const override { return editable_; }

private:
    bool editable_ = false;
};
