#pragma once

#include "Dialog/dlgModelessDialog.h"

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;

// "検索": the search text with its history and the fields to search. Both search buttons and
// cancel execute command 1024; the tree view searches with the fields below, or on cancel
// stores the dialog's place and closes it.
class dlgSearch : public dlgModelessDialog {
    Q_OBJECT
public:
    static constexpr std::size_t textBytes = 255;

    struct Fields {
        std::string text;  // Shift_JIS
        int direction = 1; // 1 up, 2 down
        int options = 0;   // tviSearchOption bits
    };

    dlgSearch(const Fields& initial, const std::vector<std::string>& history,
              QWidget* parent = nullptr);
    ~dlgSearch() override;

    const Fields& fields() const { return fields_; }
    // The options as they were when the last search started.
    int searchOptions() const { return searchOptions_; }
    std::vector<std::string> history() const;

    QComboBox* textBox() const { return textBox_; }
    QCheckBox* optionBox(int option) const;

    // Reads the controls, updates the history and executes 1024 (direction 1 up, 2 down).
    void doSearch(int direction);

public Q_SLOTS:
    void OnSearchUp() { doSearch(1); }
    void OnSearchDown() { doSearch(2); }

protected:
    void readControls() override;

private:
    Fields fields_;
    int searchOptions_ = 0;
    QComboBox* textBox_;
    std::vector<std::pair<int, QCheckBox*>> boxes_;
};
