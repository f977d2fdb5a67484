#pragma once

#include "Dialog/dlgPrefValues.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QPushButton;
class QTabWidget;
class dlgPropertyPage;

// The preference sheet: the easy mode shows "かんたん設定", the detailed mode the five other
// pages. OK checks every page, stores the values into the settings, writes Quillara.ini and
// executes command 6002 so that the window applies them; Cancel drops them.
class ctrlPropertySheet : public QDialog {
    Q_OBJECT
public:
    enum class Mode { easy, detailed };

    explicit ctrlPropertySheet(QWidget* parent = nullptr);
    ~ctrlPropertySheet() override;

    // Loads every value from the settings.
    void initvalue();
    // Builds the pages of a mode over the values held (a switch keeps what was entered).
    void init(Mode mode);
    Mode mode() const { return mode_; }
    const std::vector<dlgPropertyPage*>& pages() const { return pages_; }
    dlgPropertyPage* currentPage() const;
    dlgPrefValues& values() { return values_; }

    // The factory-settings question; the default asks in a message box.
    std::function<bool()> confirmReset;

public Q_SLOTS:
    // True when the values were stored (the sheet then closes).
    bool OnOK();
    void OnSwitchMode();
    void OnFactorySettings();
    void OnHelp();

private:
    void applyPages();

    dlgPrefValues values_;
    Mode mode_ = Mode::easy;
    std::vector<dlgPropertyPage*> pages_;
    QTabWidget* tabs_;
    QPushButton* switchButton_;
};
