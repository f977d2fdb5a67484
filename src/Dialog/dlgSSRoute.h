#pragma once

#include "Dialog/dlgModelessDialog.h"

#include <string>

class QCheckBox;
class QLineEdit;

// The footprint dialog (SS route: snapshot of a route, a footprint), "フットプリントを撮る":
// the footprint's name and whether it is deleted when old, with the footprint cabinet's
// current settings shown. Modeless: confirming and cancelling send command 1022, which the tree
// view hands to the item the dialog was opened for.
class dlgSSRoute : public dlgModelessDialog {
    Q_OBJECT
public:
    dlgSSRoute(const std::string& name, bool autoDelete, const std::string& location, int colorDays,
               int deleteDays, QWidget* parent = nullptr);

    std::string name() const;
    bool autoDelete() const;
    void setName(const std::string& sjis);
    void setAutoDelete(bool on);
    // The three lines of "現在の設定 :" (Shift_JIS).
    const std::string& locationText() const { return location_; }
    const std::string& colorText() const { return color_; }
    const std::string& deleteText() const { return delete_; }

private:
    QLineEdit* name_ = nullptr;
    QCheckBox* autoDelete_ = nullptr;
    std::string location_;
    std::string color_;
    std::string delete_;
};
