#include "Gui/wndListView.h"

#include "Common/utlIniInfo.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Gui/guiMenus.h"
#include "QtBridge/guiText.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>

#include <algorithm>

namespace {

constexpr const char* columnTitles[4] = {
    "\x83t\x83@\x83""C\x83\x8B\x96\xBC", // ファイル名
    "\x90\xE0\x96\xBE", // 説明
    "\x83t\x83@\x83""C\x83\x8B\x8E\xED\x97\xDE", // ファイル種類
    "URL",
};

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Byte-wise comparison without regard to ASCII case; the double-byte characters of Shift_JIS
// compare by their bytes, which is what the comparison of the list control does as well.
int compareNoCase(const std::string& a, const std::string& b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(lowerAscii(a[i]));
        unsigned char y = static_cast<unsigned char>(lowerAscii(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

wndListView::wndListView(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(4);
    QStringList titles;
    for (const char* title : columnTitles)
        titles << gui::toQt(title);
    setHeaderLabels(titles);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setStretchLastSection(true);
    connect(header(), &QHeaderView::sectionClicked, this, &wndListView::onColumnClicked);
    // Double click and Enter both show the row in the browser.
    connect(this, &QTreeWidget::itemActivated, this, [this] {
        bool handled = false;
        executeCommand(5002, false, handled);
    });
}

wndListView::~wndListView() = default;

void wndListView::clearRows()
{
    QTreeWidget::clear();
    rows_.clear();
}

bool wndListView::addResource(const std::string& fileName, const std::string& name, const std::string& address,
                              const std::string& extension)
{
    for (const auto& row : rows_) {
        if (compareNoCase(row->getAddress(), address) == 0)
            return false;
    }
    auto row = std::make_unique<lviListViewItem>(fileName, name, address, extension);
    row->setOpener([this](const std::string& target, bool newWindow) {
        return opener_ ? opener_(target, newWindow) : false;
    });
    row->contextMenu = [this] { showRowMenu(); };
    rows_.push_back(std::move(row));
    return true;
}

void wndListView::sortRows()
{
    std::stable_sort(rows_.begin(), rows_.end(), [this](const auto& a, const auto& b) {
        for (int key : sortKeys_) {
            int column = key / 2;
            int order = compareNoCase(a->columnText(column), b->columnText(column));
            if (key % 2 == 1)
                order = -order;
            if (order != 0)
                return order < 0;
        }
        return false;
    });
    rebuild();
}

void wndListView::rebuild()
{
    QTreeWidget::clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<int>(rows_.size()));
    for (size_t i = 0; i < rows_.size(); ++i) {
        auto* widgetItem = new QTreeWidgetItem;
        for (int column = 0; column < 4; ++column) {
            // The file name and the address of a local page are the file system's bytes.
            const std::string& text = rows_[i]->columnText(column);
            bool local = (column == 0 || column == 3) && gui::isLocalAddress(rows_[i]->columnText(3));
            widgetItem->setText(column, local ? gui::pathToQt(text) : gui::toQt(text));
        }
        widgetItem->setIcon(0, rows_[i]->getIcon());
        widgetItem->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
        items << widgetItem;
    }
    addTopLevelItems(items);
    int primary = sortKeys_[0];
    header()->setSortIndicator(primary / 2, primary % 2 == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
    if (!items.isEmpty())
        setCurrentItem(items.front());
}

void wndListView::fillFrom(clsQuillaraItem* node)
{
    clearRows();
    if (node == nullptr)
        return;
    int count = node->getResourceCount();
    for (int i = 0; i < count; ++i) {
        clsLinkProperties resource;
        if (node->getResource(i, resource))
            addResource(resource.fileName, resource.name, resource.address, resource.extension);
    }
    sortRows();
}

void wndListView::onColumnClicked(int column)
{
    auto it = std::find_if(sortKeys_.begin(), sortKeys_.end(), [column](int key) { return key / 2 == column; });
    // Clicking the primary column flips its direction; any other column becomes the primary
    // key, ascending, so that a first click always sorts ascending.
    int key = it == sortKeys_.begin() ? *it ^ 1 : column * 2;
    if (it == sortKeys_.end())
        it = sortKeys_.end() - 1; // a new key pushes the last one out
    // The keys in front of the clicked one move back by one; the clicked one goes to the front.
    std::move_backward(sortKeys_.begin(), it, it + 1);
    sortKeys_[0] = key;
    sortRows();
}

const lviListViewItem* wndListView::rowAt(int position) const
{
    QTreeWidgetItem* item = topLevelItem(position);
    if (item == nullptr)
        return nullptr;
    return rows_[item->data(0, Qt::UserRole).toULongLong()].get();
}

lviListViewItem* wndListView::currentRow() const
{
    QTreeWidgetItem* item = currentItem();
    if (item == nullptr)
        return nullptr;
    return rows_[item->data(0, Qt::UserRole).toULongLong()].get();
}

bool wndListView::executeCommand(int code, bool query, bool& handled)
{
    handled = false;
    lviListViewItem* row = currentRow();
    return row != nullptr ? row->executeCommand(code, query, handled) : true;
}

void wndListView::contextMenuEvent(QContextMenuEvent* event)
{
    QTreeWidgetItem* item = itemAt(event->pos());
    if (item == nullptr)
        return; // empty space shows no menu
    setCurrentItem(item);
    bool handled = false;
    executeCommand(5004, false, handled);
}

void wndListView::showRowMenu()
{
    QMenu menu(this);
    for (int menuId : {32793, 32794}) {
        int code = guiMenus::commandOf(menuId);
        QString label = menuId == 32793 ? gui::toQt("\x83u\x83\x89\x83""E\x83U\x82\xC9\x95\x5C\x8E\xA6(&B)") // ブラウザに表示(&B)
                                        : gui::toQt("\x90V\x82\xB5\x82\xA2\x83u\x83\x89\x83""E\x83U\x82\xC9\x95\x5C\x8E\xA6(&N)"); // 新しいブラウザに表示(&N)
        menu.addAction(label, this, [this, code] {
            bool handled = false;
            executeCommand(code, false, handled);
        });
    }
    menu.exec(QCursor::pos());
}

void wndListView::loadSettings(const utlIniInfo& ini)
{
    for (int i = 0; i < 4; ++i) {
        setColumnWidth(i, std::max(ini.getInt(indexed(IniKey::ColumnWidth00, i)), 10));
        int key = ini.getInt(indexed(IniKey::SortOrder00, i));
        sortKeys_[static_cast<size_t>(i)] = key >= 0 && key < 8 ? key : i * 2;
    }
}

void wndListView::saveSettings(utlIniInfo& ini) const
{
    for (int i = 0; i < 4; ++i) {
        ini.setInt(indexed(IniKey::ColumnWidth00, i), columnWidth(i));
        ini.setInt(indexed(IniKey::SortOrder00, i), sortKeys_[static_cast<size_t>(i)]);
    }
}

void wndListView::focusInEvent(QFocusEvent* event)
{
    QTreeWidget::focusInEvent(event);
    Q_EMIT focusEntered();
}
