#pragma once

#include "Common/utlCommandTarget.h"
#include "Gui/lviListViewItem.h"

#include <QTreeWidget>

#include <array>
#include <memory>
#include <string>
#include <vector>

class clsQuillaraItem;
class utlIniInfo;

// The upper right pane: the resources of the selected page, one row each, sorted by up to four
// keys (column × 2 + direction, 1 descending; the first key is the primary one).
class wndListView : public QTreeWidget, public utlCommandTarget {
    Q_OBJECT
public:
    explicit wndListView(QWidget* parent = nullptr);
    ~wndListView() override;

    bool executeCommand(int code, bool query, bool& handled) override;

    void clearRows();
    // Adds a row unless one with the same address (in any case) is there; false then.
    bool addResource(const std::string& fileName, const std::string& name,
                     const std::string& address, const std::string& extension);
    void sortRows();
    // Clears the list and fills it with the node's resources (none without a node).
    void fillFrom(clsQuillaraItem* node);
    // A click on a column: flips the primary key's direction, or makes the column the primary key.
    void onColumnClicked(int column);

    // The fields (lviField) the settings' column list ticks, in its order; at least one.
    static std::vector<int> columnsOf(const utlIniInfo& ini);
    // Shows these fields as the columns, left to right, each at least as wide as its title.
    void setColumns(const std::vector<int>& fields);
    const std::vector<int>& columns() const { return columns_; }
    void loadSettings(const utlIniInfo& ini);
    // The column list of the settings takes effect at once (the preference sheet's OK).
    void applySettings(const utlIniInfo& ini);
    void saveSettings(utlIniInfo& ini);

    const std::array<int, 4>& sortKeys() const { return sortKeys_; }
    std::size_t rowCount() const { return rows_.size(); }
    // The row shown at position, in display order.
    const lviListViewItem* rowAt(int position) const;
    void setOpener(lviListViewItem::Opener opener) { opener_ = std::move(opener); }

signals:
    void focusEntered();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    lviListViewItem* currentRow() const;
    void showRowMenu();
    void rebuild();
    void keepWidths();

    std::vector<std::unique_ptr<lviListViewItem>> rows_;
    // Sort keys name fields: field × 2 + direction.
    std::array<int, 4> sortKeys_{0, 2, 4, 6};
    std::vector<int> columns_;
    std::array<int, fieldCount> widths_{};
    lviListViewItem::Opener opener_;
};
