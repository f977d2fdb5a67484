#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

// "キャビネットの新規作成": name (proposed "新規キャビネット"), description and the cabinet
// folder; the tree view makes the file (command 1027).
class dlgCreateCabinet : public QDialog {
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

private:
    QLineEdit* name_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    QComboBox* folders_ = nullptr;
};
