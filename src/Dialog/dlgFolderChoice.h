#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QComboBox;

// The cabinet folder row of the create and copy dialogs: the settings' folders in a list and
// "フォルダの選択", which browses for another one.
class dlgFolderChoice : public QWidget {
    Q_OBJECT
public:
    explicit dlgFolderChoice(const std::vector<std::string>& folders, QWidget* parent = nullptr);
    std::string folder() const;
    void setFolder(const std::string& folder);
    QComboBox* combo() const { return combo_; }

private:
    QComboBox* combo_ = nullptr;
};
