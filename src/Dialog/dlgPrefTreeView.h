#pragma once

#include "Dialog/dlgPropertyPage.h"

// "ツリービュー": which links of a page become sub-items and how they are shown.
class dlgPrefTreeView : public dlgPropertyPage {
    Q_OBJECT
public:
    explicit dlgPrefTreeView(dlgPrefValues& values, QWidget* parent = nullptr);
    ~dlgPrefTreeView() override;
};
