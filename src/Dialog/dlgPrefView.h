#pragma once

#include "Dialog/dlgPropertyPage.h"

// "ビュー": the views shown and the font of the views.
class dlgPrefView : public dlgPropertyPage {
    Q_OBJECT
public:
    explicit dlgPrefView(dlgPrefValues& values, QWidget* parent = nullptr);
    ~dlgPrefView() override;
};
