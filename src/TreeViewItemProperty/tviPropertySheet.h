#pragma once

#include <QDialog>

#include <memory>
#include <source_location>
#include <string>

class ctrlTreeView;
class tviPrefPage;
class tviTreeViewItem;

// The item property sheet: one tab "全般" with the page of the item's kind, the caption the
// item's name followed by "のプロパティ". OK hands the editable fields to the item and writes
// its cabinet at once; nothing of a read-only item is ever written.
class tviPropertySheet : public QDialog {
    Q_OBJECT
public:
    tviPropertySheet(ctrlTreeView* tree, tviTreeViewItem* item, QWidget* parent = nullptr);
    ~tviPropertySheet() override;

    // The page class for an item's kind; null for kinds that have none yet.
    static tviPrefPage* createPage(const tviTreeViewItem& item);
    static bool hasPage(const tviTreeViewItem& item);
    tviPrefPage* page() const { return page_; }

    // Applies the page to the item and saves its cabinet; false (and the sheet stays) when
    // the item is gone or the cabinet cannot be written.
    bool OnOK();

private:
    void OnHelp();
    bool saveFailedMessage(const std::string& what,
                           std::source_location caller = std::source_location::current());

    ctrlTreeView* tree_;
    tviTreeViewItem* item_;
    tviPrefPage* page_ = nullptr;
};
