#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// The page of a cabinet folder: name, note and mark.
class tviPrefFolder : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefFolder(QWidget* parent = nullptr);
    ~tviPrefFolder() override;

    void initvalue(const tviTreeViewItem& item) override;
    bool isEditable() const override { return editable_; }
    void collect(const tviTreeViewItem& item, tviDialogData& data) const override;

private:
    bool editable_ = false;
};
