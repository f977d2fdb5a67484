#include "Gui/wndListView.h"

#include "Common/utlCommand.h"
#include "Common/utlIniInfo.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Gui/guiMenus.h"
#include "QtBridge/guiText.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMenu>

#include <algorithm>

namespace {

// The settings keep four widths: those of the first four entries of the default order
// (ColumnWidth00 … ColumnWidth03); the others start at 100 pixels each time.
constexpr int storedWidths = 4;

// The title of a field: the column list's entry of that place in the default order.
QString titleOf(int field)
{
    return gui::toQt(utlIniInfo::info(indexed(IniKey::Item00, field)).textDefault);
}

bool sameAddress(const std::string& a, const std::string& b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

wndListView::wndListView(QWidget* parent) : QTreeWidget(parent)
{
    widths_.fill(100);
    for (int field = 0; field < storedWidths; ++field)
        widths_[static_cast<size_t>(field)] =
            utlIniInfo::info(indexed(IniKey::ColumnWidth00, field)).intDefault;
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setStretchLastSection(true);
    connect(header(), &QHeaderView::sectionClicked, this, &wndListView::onColumnClicked);
    setColumns({fieldUrl, fieldName, fieldProtocol, fieldDescription, fieldType, fieldSize,
                fieldModified});
    // Double click and Enter both show the row in the browser.
    connect(this, &QTreeWidget::itemActivated, this, [this] {
        bool handled = false;
        executeCommand(codeOf(utlCommand::showInBrowser), false, handled);
    });
}

wndListView::~wndListView() = default;

void wndListView::clearRows()
{
    QTreeWidget::clear();
    rows_.clear();
}

bool wndListView::addResource(const std::string& fileName, const std::string& name,
                              const std::string& address, const std::string& extension)
{
    for (const auto& row : rows_) {
        if (sameAddress(row->getAddress(), address))
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
            int order = lviListViewItem::compare(*a, *b, key / 2);
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
        bool local = gui::isLocalAddress(rows_[i]->columnText(fieldUrl));
        for (size_t column = 0; column < columns_.size(); ++column) {
            // The file name and the address of a local page are the file system's bytes.
            int field = columns_[column];
            const std::string& text = rows_[i]->columnText(field);
            bool path = local && (field == fieldUrl || field == fieldName);
            widgetItem->setText(static_cast<int>(column),
                                path ? gui::pathToQt(text) : gui::toQt(text));
        }
        widgetItem->setIcon(0, rows_[i]->getIcon());
        widgetItem->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
        items << widgetItem;
    }
    addTopLevelItems(items);
    int primary = sortKeys_[0];
    auto shown = std::find(columns_.begin(), columns_.end(), primary / 2);
    header()->setSortIndicatorShown(shown != columns_.end());
    if (shown != columns_.end())
        header()->setSortIndicator(static_cast<int>(shown - columns_.begin()),
                                   primary % 2 == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
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

void wndListView::onColumnClicked(int displayed)
{
    if (displayed < 0 || static_cast<size_t>(displayed) >= columns_.size())
        return;
    int column = columns_[static_cast<size_t>(displayed)];
    auto it = std::find_if(sortKeys_.begin(), sortKeys_.end(),
                           [column](int key) { return key / 2 == column; });
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
    executeCommand(codeOf(utlCommand::contextMenu), false, handled);
}

void wndListView::showRowMenu()
{
    QMenu menu(this);
    for (int menuId : {32793, 32794}) {
        int code = guiMenus::commandOf(menuId);
        QString label = menuId == 32793 ? tr("ブラウザに表示(&B)") : tr("新しいブラウザに表示(&N)");
        menu.addAction(label, this, [this, code] {
            bool handled = false;
            executeCommand(code, false, handled);
        });
    }
    menu.exec(QCursor::pos());
}

std::vector<int> wndListView::columnsOf(const utlIniInfo& ini)
{
    std::vector<int> fields;
    for (int entry = 0; entry < fieldCount; ++entry) {
        if (ini.getInt(indexed(IniKey::CheckItem00, entry)) == 0)
            continue;
        // The entries are known by their titles, which move with them when they are reordered.
        QString title = gui::toQt(ini.getString(indexed(IniKey::Item00, entry)));
        for (int field = 0; field < fieldCount; ++field) {
            if (title == titleOf(field) &&
                std::find(fields.begin(), fields.end(), field) == fields.end())
                fields.push_back(field);
        }
    }
    // A list without a single column would show nothing at all.
    if (fields.empty())
        fields.push_back(fieldUrl);
    return fields;
}

void wndListView::setColumns(const std::vector<int>& fields)
{
    keepWidths();
    columns_ = fields;
    QStringList titles;
    for (int field : columns_)
        titles << titleOf(field);
    setColumnCount(static_cast<int>(columns_.size()));
    setHeaderLabels(titles);
    QFontMetrics metrics(header()->font());
    for (size_t column = 0; column < columns_.size(); ++column) {
        // Room for the title and the sort arrow beside it.
        int least = metrics.horizontalAdvance(titles[static_cast<int>(column)]) + 28;
        int width = std::max(widths_[static_cast<size_t>(columns_[column])], least);
        setColumnWidth(static_cast<int>(column), width);
    }
    rebuild();
}

void wndListView::keepWidths()
{
    for (size_t column = 0; column < columns_.size(); ++column)
        widths_[static_cast<size_t>(columns_[column])] = columnWidth(static_cast<int>(column));
}

void wndListView::loadSettings(const utlIniInfo& ini)
{
    for (int i = 0; i < 4; ++i) {
        int key = ini.getInt(indexed(IniKey::SortOrder00, i));
        sortKeys_[static_cast<size_t>(i)] = key >= 0 && key < fieldCount * 2 ? key : i * 2;
    }
    columns_.clear(); // the stored widths win over those of the columns shown so far
    for (int field = 0; field < storedWidths; ++field)
        widths_[static_cast<size_t>(field)] =
            std::max(ini.getInt(indexed(IniKey::ColumnWidth00, field)), 10);
    setColumns(columnsOf(ini));
}

void wndListView::applySettings(const utlIniInfo& ini)
{
    std::vector<int> fields = columnsOf(ini);
    if (fields != columns_)
        setColumns(fields);
}

void wndListView::saveSettings(utlIniInfo& ini)
{
    keepWidths();
    for (int field = 0; field < storedWidths; ++field)
        ini.setInt(indexed(IniKey::ColumnWidth00, field), widths_[static_cast<size_t>(field)]);
    for (int i = 0; i < 4; ++i)
        ini.setInt(indexed(IniKey::SortOrder00, i), sortKeys_[static_cast<size_t>(i)]);
}

void wndListView::focusInEvent(QFocusEvent* event)
{
    QTreeWidget::focusInEvent(event);
    Q_EMIT focusEntered();
}
