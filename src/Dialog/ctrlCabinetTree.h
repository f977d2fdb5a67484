#pragma once

#include <QTreeWidget>

#include <functional>
#include <string>
#include <vector>

// The tree of the open-cabinet window: one root per cabinet folder, below it one node per
// cabinet file with its title. A file node carries its flag ('1' already open, '0' not) and
// its full path; an open cabinet shows the open-cabinet image and cannot be chosen.
class ctrlCabinetTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit ctrlCabinetTree(QWidget* parent = nullptr);

    // isOpen tells whether a path is open in the main tree (paths compared exactly).
    void fill(const std::vector<std::string>& folders,
              const std::function<bool(const std::string&)>& isOpen);
    // The path of the selected file node when it may be opened, else empty.
    std::string choosablePath() const;
    static QString itemData(const QTreeWidgetItem* item);
};
