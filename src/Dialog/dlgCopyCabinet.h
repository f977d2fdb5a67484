#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLineEdit;

// "キャビネットのコピーを作成": the open cabinet to copy, the copy's name and the cabinet
// folder; the tree view writes the copy (command 1029).
class dlgCopyCabinet : public QDialog {
    Q_OBJECT
public:
    // sources: the names of the open cabinets (Shift_JIS), in tree order.
    dlgCopyCabinet(const std::vector<std::string>& sources, int selected, const std::vector<std::string>& folders,
                   QWidget* parent = nullptr);

    int source() const;
    std::string name() const;
    std::string folder() const;
    void setName(const std::string& sjis);

private:
    QComboBox* sources_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* folders_ = nullptr;
};
