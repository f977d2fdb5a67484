#pragma once

#include "Dialog/dlgModelessDialog.h"

#include <functional>
#include <string>
#include <vector>

class ctrlCabinetTree;

// "キャビネットを開く": the cabinet folders and their cabinet files. Modeless: choosing a file
// and cancelling send command 1101, whose owner, the tree view, opens the chosen file. Its size
// is kept in OpenCabinetWidth and OpenCabinetHeight.
class wndOpenCabinet : public dlgModelessDialog {
    Q_OBJECT
public:
    wndOpenCabinet(const std::vector<std::string>& folders,
                   std::function<bool(const std::string&)> isOpen, QWidget* parent = nullptr);
    ~wndOpenCabinet() override;

    ctrlCabinetTree* cabinetTree() const { return tree_; }
    // The chosen file, and whether one was chosen.
    const std::string& chosenPath() const { return chosenPath_; }
    bool isChosen() const { return chosen_; }
    // "開く(&O)" or a double click: takes the selected file unless it is a folder or already
    // open; then the window confirms and closes.
    bool choose();
    void OnCancel() override;

private:
    ctrlCabinetTree* tree_ = nullptr;
    std::string chosenPath_;
    bool chosen_ = false;
};
