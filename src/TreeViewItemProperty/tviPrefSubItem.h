#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// The page of a link or frame found on a page (types 0 and 18): only the mark is edited.
class tviPrefSubItem : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefSubItem(QWidget* parent = nullptr);
    ~tviPrefSubItem() override;

    void initvalue(const tviTreeViewItem& item) override;
    bool isEditable() const override { return true; }
    void collect(const tviTreeViewItem& item, tviDialogData& data) const override;
};
