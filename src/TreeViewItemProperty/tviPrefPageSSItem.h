#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// A snapshot's page: name, source address (shown), note, mark, the auto-delete choice and its dates.
class tviPrefPageSSItem : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefPageSSItem(QWidget* parent = nullptr);
    ~tviPrefPageSSItem() override;

    void initvalue(const tviTreeViewItem& item) override;
    bool isEditable() const override { return editable_; }

private:
    bool editable_ = false;
};
