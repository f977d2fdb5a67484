#pragma once

#include "Dialog/dlgPropertyPage.h"

class QLineEdit;

// "連携": the Favorites folder and the bookmark file shown as cabinets.
class dlgPrefSync : public dlgPropertyPage {
    Q_OBJECT
public:
    explicit dlgPrefSync(dlgPrefValues& values, QWidget* parent = nullptr);
    ~dlgPrefSync() override;

    // Bookmarks switched on without a file are refused.
    bool test() override;

private:
    QCheckBox* useBookmarks_;
    QLineEdit* bookmarkPath_;
};
