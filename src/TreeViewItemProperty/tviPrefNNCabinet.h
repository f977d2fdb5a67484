#pragma once

#include "TreeViewItemProperty/tviPrefPage.h"

// The bookmark cabinet's page: name, note and file, shown only; the file is never written.
class tviPrefNNCabinet : public tviPrefPage {
    Q_OBJECT
public:
    explicit tviPrefNNCabinet(QWidget* parent = nullptr);
    ~tviPrefNNCabinet() override;

    void initvalue(const tviTreeViewItem& item) override;
};
