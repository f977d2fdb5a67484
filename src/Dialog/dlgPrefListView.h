#pragma once

#include "Dialog/dlgPropertyPage.h"

class QListWidget;

// "リストビュー": the seven entries of the column list, each ticked or not, in an order the
// user changes with the move buttons. Position n is stored as ItemNN and CheckItemNN.
class dlgPrefListView : public dlgPropertyPage {
    Q_OBJECT
public:
    static constexpr int entryCount = 7;

    explicit dlgPrefListView(dlgPrefValues& values, QWidget* parent = nullptr);
    ~dlgPrefListView() override;

    void init() override;
    void apply() override;
    void setDefaultPref() override;
    // Moves the selected entry one place up (-1) or down (+1).
    void moveSelected(int step);
    QListWidget* list() const { return list_; }

private:
    QListWidget* list_;
};
