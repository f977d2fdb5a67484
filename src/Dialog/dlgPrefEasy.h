#pragma once

#include "Dialog/dlgPropertyPage.h"

// "かんたん設定": the views shown, duplicate links, the expand-all depth and hidden links.
class dlgPrefEasy : public dlgPropertyPage {
    Q_OBJECT
public:
    explicit dlgPrefEasy(dlgPrefValues& values, QWidget* parent = nullptr);
    ~dlgPrefEasy() override;
};
