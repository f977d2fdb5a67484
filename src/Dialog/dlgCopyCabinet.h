#pragma once

#include "Dialog/dlgModelessDialog.h"

#include <string>
#include <vector>

class QComboBox;
class QLineEdit;

// "キャビネットのコピーを作成": the open cabinet to copy, the copy's name and the cabinet
// folder. Modeless: confirming and cancelling send command 1029, whose owner, the tree view,
// reads the answer and writes the copy.
class dlgCopyCabinet : public dlgModelessDialog {
    Q_OBJECT
public:
    // sources: the names of the open cabinets (Shift_JIS), in tree order.
    dlgCopyCabinet(const std::vector<std::string>& sources, int selected,
                   const std::vector<std::string>& folders, QWidget* parent = nullptr);

    int source() const;
    std::string name() const;
    std::string folder() const;
    void setName(const std::string& sjis);
    void setFolder(const std::string& folder);

    // Refuses a name that cannot become a file name, with a message; the dialog stays.
    void OnOK() override;

private:
    QComboBox* sources_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* folders_ = nullptr;
};
