#pragma once

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;

// "スナップショットを撮る": asks for the snapshot's name and whether it is deleted once old,
// and shows where it goes and the two ages of the snapshot cabinet. It only collects the
// input; the selected item's command 1020 takes the snapshot (or asks for a name).
class dlgSSPage : public QDialog {
public:
    // location: the snapshot cabinet's directory (as the file system spells it); name in
    // Shift_JIS.
    dlgSSPage(QWidget* parent, const std::string& location, int colourDays, int deleteDays, const std::string& name,
              bool autoDelete);

    // Shift_JIS, at most 255 bytes.
    std::string getName() const;
    bool getAutoDelete() const;
    bool isAccepted() const { return accepted_; }

    // The three texts of "現在の設定 :" (Shift_JIS).
    static std::string locationText(const std::string& location);
    static std::string colourText(int days);
    static std::string deleteText(int days);

private:
    QLineEdit* name_ = nullptr;
    QCheckBox* autoDelete_ = nullptr;
    bool accepted_ = false;
};
