#pragma once

#include "Dialog/dlgPropertyPage.h"

class QListWidget;

// "キャビネット": the cabinet folders, and when footprints and snapshots change colour and go.
class dlgPrefFile : public dlgPropertyPage {
    Q_OBJECT
public:
    explicit dlgPrefFile(dlgPrefValues& values, QWidget* parent = nullptr);
    ~dlgPrefFile() override;

    void init() override;
    void apply() override;
    // Adds a folder (ending with '/') unless it is listed already.
    void addFolder(const std::string& path);
    void removeSelected();
    void moveSelected(int step);
    QListWidget* folders() const { return folders_; }

private:
    QListWidget* folders_;
};
