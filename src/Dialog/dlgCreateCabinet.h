#pragma once

#include "Dialog/dlgModelessDialog.h"

#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

// "キャビネットの新規作成": name (proposed "新規キャビネット"), description and the cabinet
// folder. Modeless: confirming and cancelling send command 1027, whose owner, the tree view,
// reads the answer and makes the file.
class dlgCreateCabinet : public dlgModelessDialog {
    Q_OBJECT
public:
    dlgCreateCabinet(const std::vector<std::string>& folders, QWidget* parent = nullptr);

    // Shift_JIS, as typed.
    std::string name() const;
    std::string description() const;
    std::string folder() const;
    // For tests and for callers that fill the dialog.
    void setName(const std::string& sjis);
    void setFolder(const std::string& folder);

    // Refuses a name that cannot become a file name, with a message; the dialog stays.
    void OnOK() override;

private:
    QLineEdit* name_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    QComboBox* folders_ = nullptr;
};
