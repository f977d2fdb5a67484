#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// The page of a cabinet item: name, address, note and mark; the page information is shown.
class tviPrefItem : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefItem(QWidget* parent = nullptr);
    ~tviPrefItem() override;

    void initvalue(const tviTreeViewItem& item) override;
    bool isEditable() const override { return editable_; }
    void collect(const tviTreeViewItem& item, tviDialogData& data) const override;

private:
    bool editable_ = false;
};
