#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// A snapshot folder's page: name, note and mark. The name is only shown in the tree; the directory
// keeps its name.
class tviPrefPageSSFolder : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefPageSSFolder(QWidget* parent = nullptr);
    ~tviPrefPageSSFolder() override;

    void initvalue(const tviTreeViewItem& item) override;
    bool isEditable() const override { return editable_; }

private:
    bool editable_ = false;
};
