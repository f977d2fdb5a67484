#pragma once

#include "Dialog/dlgModelessDialog.h"

#include <string>

class QCheckBox;
class QLineEdit;

// "スナップショットを撮る": asks for the snapshot's name and whether it is deleted once old,
// and shows where it goes, the two ages of the snapshot cabinet and what a snapshot keeps and
// drops. Modeless: confirming and
// cancelling send command 1020, which the window hands to the item the dialog was opened for
// (it takes the snapshot, or asks for a name and the dialog stays).
class dlgSSPage : public dlgModelessDialog {
    Q_OBJECT
public:
    // location: the snapshot cabinet's directory (as the file system spells it); name in
    // Shift_JIS; keepScripts: PrefFile/SnapshotScripts.
    dlgSSPage(QWidget* parent, const std::string& location, int colourDays, int deleteDays,
              const std::string& name, bool autoDelete, bool keepScripts = false);

    // Shift_JIS, at most 255 bytes.
    std::string getName() const;
    bool getAutoDelete() const;
    void setName(const std::string& sjis);

public Q_SLOTS:
    void OnOK() override;

    // The three texts of "現在の設定 :" (Shift_JIS).
    static std::string locationText(const std::string& location);
    static std::string colourText(int days);
    static std::string deleteText(int days);
    // What a snapshot saves, what it leaves out, and that the saved page stays offline
    // (Shift_JIS, one line each).
    static std::string keptText();
    static std::string droppedText(bool keepScripts);
    static std::string offlineText();

private:
    QLineEdit* name_ = nullptr;
    QCheckBox* autoDelete_ = nullptr;
};
