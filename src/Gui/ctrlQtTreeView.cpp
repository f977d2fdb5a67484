#include "Gui/ctrlQtTreeView.h"

#include "Gui/guiIcons.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"
#include "TreeViewItem/Base/tviURLItem.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFont>
#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QProcess>
#include <QUrl>

#include <algorithm>

struct ctrlQtTreeView::Node {
    tviTreeViewItem* item = nullptr;
    Node* parent = nullptr;
    std::vector<Node*> children;
    // Row in the parent; valid while the parent's rowsValid is set.
    int row = 0;
    bool rowsValid = true;
    bool expanded = false;
    bool live = false;
    int overlay = 0;
};

namespace {

QColor fromColorRef(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

QString fromSjisTitle(const std::string& title)
{
    return title.empty() ? QStringLiteral("Quillara") : gui::toQt(title);
}

} // namespace

ctrlQtTreeView::ctrlQtTreeView(QObject* parent)
    : QAbstractItemModel(parent), root_(std::make_unique<Node>())
{
    root_->live = true;
    // The window keeps cabinets open for long: what another program writes meanwhile is merged.
    mergeChangedFiles = true;
}

ctrlQtTreeView::~ctrlQtTreeView()
{
    destroyAllItems();
}

ctrlQtTreeView::Node* ctrlQtTreeView::node(TreeNode handle) const
{
    if (handle == kTreeRoot)
        return root_.get();
    return liveNode(handle);
}

ctrlQtTreeView::Node* ctrlQtTreeView::liveNode(TreeNode handle) const
{
    if (handle == kTreeRoot || handle == kTreeLast)
        return nullptr;
    Node* n = reinterpret_cast<Node*>(handle);
    return n->live ? n : nullptr;
}

TreeNode ctrlQtTreeView::handleOf(Node* n)
{
    return reinterpret_cast<TreeNode>(n);
}

int ctrlQtTreeView::rowOf(Node* n) const
{
    Node* p = n->parent;
    if (!p->rowsValid) {
        for (size_t i = 0; i < p->children.size(); ++i)
            p->children[i]->row = static_cast<int>(i);
        p->rowsValid = true;
    }
    return n->row;
}

QModelIndex ctrlQtTreeView::indexOfNode(Node* n) const
{
    if (n == nullptr || n == root_.get() || !n->live)
        return {};
    return createIndex(rowOf(n), 0, n);
}

QModelIndex ctrlQtTreeView::indexOf(TreeNode handle) const
{
    return indexOfNode(liveNode(handle));
}

TreeNode ctrlQtTreeView::nodeOf(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return kTreeRoot;
    return handleOf(static_cast<Node*>(index.internalPointer()));
}

tviTreeViewItem* ctrlQtTreeView::itemOf(const QModelIndex& index) const
{
    return getItem(nodeOf(index));
}

ctrlQtTreeView::Node* ctrlQtTreeView::newNode()
{
    if (!free_.empty()) {
        Node* n = free_.back();
        free_.pop_back();
        *n = Node{};
        return n;
    }
    pool_.push_back(std::make_unique<Node>());
    return pool_.back().get();
}

TreeNode ctrlQtTreeView::doInsertNode(TreeNode parent, TreeNode insertAfter, tviTreeViewItem* item)
{
    Node* p = node(parent);
    if (p == nullptr || item == nullptr)
        return nullptr;
    size_t pos = 0;
    if (insertAfter == kTreeLast) {
        pos = p->children.size();
    } else if (insertAfter != kTreeFirst) {
        Node* after = liveNode(insertAfter);
        if (after == nullptr || after->parent != p)
            return nullptr;
        pos = static_cast<size_t>(rowOf(after)) + 1;
    }
    bool signal = bulkDepth_ == 0;
    if (signal)
        beginInsertRows(indexOfNode(p), static_cast<int>(pos), static_cast<int>(pos));
    Node* n = newNode();
    n->item = item;
    n->parent = p;
    n->live = true;
    if (pos == p->children.size()) {
        n->row = static_cast<int>(pos);
        p->children.push_back(n);
    } else {
        p->children.insert(p->children.begin() + static_cast<std::ptrdiff_t>(pos), n);
        p->rowsValid = false;
    }
    ++live_;
    if (signal)
        endInsertRows();
    return handleOf(n);
}

void ctrlQtTreeView::releaseSubtree(Node* top)
{
    std::vector<Node*> work{top};
    while (!work.empty()) {
        Node* n = work.back();
        work.pop_back();
        work.insert(work.end(), n->children.begin(), n->children.end());
        if (selection_ == n)
            selection_ = nullptr;
        n->children.clear();
        n->live = false;
        n->item = nullptr;
        n->parent = nullptr;
        free_.push_back(n);
        --live_;
    }
}

bool ctrlQtTreeView::doDeleteNode(TreeNode handle)
{
    Node* n = liveNode(handle);
    if (n == nullptr)
        return false;
    Node* p = n->parent;
    int row = rowOf(n);
    bool signal = bulkDepth_ == 0;
    if (signal)
        beginRemoveRows(indexOfNode(p), row, row);
    p->children.erase(p->children.begin() + row);
    p->rowsValid = false;
    releaseSubtree(n);
    if (signal)
        endRemoveRows();
    return true;
}

bool ctrlQtTreeView::moveNode(TreeNode handle, TreeNode newParent, TreeNode insertAfter)
{
    Node* n = liveNode(handle);
    Node* p = node(newParent);
    if (n == nullptr || p == nullptr)
        return false;
    for (Node* a = p; a != nullptr; a = a->parent) {
        if (a == n)
            return false;
    }
    Node* oldParent = n->parent;
    int oldRow = rowOf(n);
    // The destination row counts the rows as they stand before the move.
    int dest = 0;
    if (insertAfter == kTreeLast) {
        dest = static_cast<int>(p->children.size());
    } else if (insertAfter != kTreeFirst) {
        Node* after = liveNode(insertAfter);
        if (after == nullptr || after->parent != p)
            return false;
        if (after == n)
            return true;
        dest = rowOf(after) + 1;
    }
    if (oldParent == p && (dest == oldRow || dest == oldRow + 1))
        return true;
    bool signal = bulkDepth_ == 0;
    if (signal && !beginMoveRows(indexOfNode(oldParent), oldRow, oldRow, indexOfNode(p), dest))
        return false;
    oldParent->children.erase(oldParent->children.begin() + oldRow);
    oldParent->rowsValid = false;
    if (oldParent == p && dest > oldRow)
        --dest;
    p->children.insert(p->children.begin() + dest, n);
    p->rowsValid = false;
    n->parent = p;
    if (signal)
        endMoveRows();
    return true;
}

tviTreeViewItem* ctrlQtTreeView::getItem(TreeNode handle) const
{
    Node* n = liveNode(handle);
    return n != nullptr ? n->item : nullptr;
}

TreeNode ctrlQtTreeView::getParent(TreeNode handle) const
{
    Node* n = liveNode(handle);
    if (n == nullptr || n->parent == root_.get())
        return kTreeRoot;
    return handleOf(n->parent);
}

TreeNode ctrlQtTreeView::getFirstChild(TreeNode handle) const
{
    Node* n = node(handle);
    if (n == nullptr || n->children.empty())
        return nullptr;
    return handleOf(n->children.front());
}

TreeNode ctrlQtTreeView::getNextSibling(TreeNode handle) const
{
    Node* n = liveNode(handle);
    if (n == nullptr)
        return nullptr;
    size_t next = static_cast<size_t>(rowOf(n)) + 1;
    return next < n->parent->children.size() ? handleOf(n->parent->children[next]) : nullptr;
}

TreeNode ctrlQtTreeView::getPrevSibling(TreeNode handle) const
{
    Node* n = liveNode(handle);
    if (n == nullptr)
        return nullptr;
    int row = rowOf(n);
    return row > 0 ? handleOf(n->parent->children[static_cast<size_t>(row) - 1]) : nullptr;
}

bool ctrlQtTreeView::isExpanded(TreeNode handle) const
{
    Node* n = liveNode(handle);
    return n != nullptr && n->expanded;
}

bool ctrlQtTreeView::expand(TreeNode handle, bool expanded)
{
    Node* n = liveNode(handle);
    if (n == nullptr || (expanded && n->children.empty()))
        return false;
    n->expanded = expanded;
    if (bulkDepth_ == 0)
        Q_EMIT expansionRequested(indexOfNode(n), expanded);
    return true;
}

void ctrlQtTreeView::emitChanged(Node* n)
{
    if (bulkDepth_ != 0 || n == nullptr)
        return;
    QModelIndex index = indexOfNode(n);
    if (index.isValid())
        Q_EMIT dataChanged(index, index);
}

void ctrlQtTreeView::refreshNode(TreeNode handle)
{
    emitChanged(liveNode(handle));
}

void ctrlQtTreeView::setOverlay(TreeNode handle, int overlay)
{
    Node* n = liveNode(handle);
    if (n == nullptr || n->overlay == overlay)
        return;
    n->overlay = overlay;
    emitChanged(n);
}

int ctrlQtTreeView::getOverlay(TreeNode handle) const
{
    Node* n = liveNode(handle);
    return n != nullptr ? n->overlay : 0;
}

bool ctrlQtTreeView::selectNode(TreeNode handle)
{
    Node* n = liveNode(handle);
    if (n == nullptr)
        return false;
    Node* old = selection_;
    selection_ = n;
    emitChanged(old);
    emitChanged(n);
    if (bulkDepth_ == 0)
        Q_EMIT selectionRequested(indexOfNode(n));
    return true;
}

TreeNode ctrlQtTreeView::getSelection() const
{
    return handleOf(selection_);
}

void ctrlQtTreeView::noteExpanded(const QModelIndex& index, bool expanded)
{
    if (Node* n = liveNode(nodeOf(index))) {
        n->expanded = expanded;
        emitChanged(n); // cabinets and folders show an open picture when expanded
    }
}

void ctrlQtTreeView::noteSelected(const QModelIndex& index)
{
    Node* old = selection_;
    selection_ = liveNode(nodeOf(index));
    if (old != selection_) {
        emitChanged(old);
        emitChanged(selection_);
    }
}

void ctrlQtTreeView::beginBulk()
{
    if (bulkDepth_++ == 0)
        beginResetModel();
}

void ctrlQtTreeView::endBulk()
{
    if (bulkDepth_ == 0 || --bulkDepth_ != 0)
        return;
    endResetModel();
    // A reset collapses the views; tell them again what is open and what is selected.
    std::vector<Node*> work{root_.get()};
    while (!work.empty()) {
        Node* n = work.back();
        work.pop_back();
        if (n != root_.get() && n->expanded)
            Q_EMIT expansionRequested(indexOfNode(n), true);
        if (n == root_.get() || n->expanded)
            work.insert(work.end(), n->children.begin(), n->children.end());
    }
    if (selection_ != nullptr)
        Q_EMIT selectionRequested(indexOfNode(selection_));
}

void ctrlQtTreeView::setMarkColours(int mark, int route, int page)
{
    markColour_ = fromColorRef(mark);
    routeColour_ = fromColorRef(route);
    pageColour_ = fromColorRef(page);
}

QModelIndex ctrlQtTreeView::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    Node* p = parent.isValid() ? static_cast<Node*>(parent.internalPointer()) : root_.get();
    if (static_cast<size_t>(row) >= p->children.size())
        return {};
    Node* n = p->children[static_cast<size_t>(row)];
    if (!p->rowsValid)
        rowOf(n);
    return createIndex(row, 0, n);
}

QModelIndex ctrlQtTreeView::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    Node* n = static_cast<Node*>(child.internalPointer());
    return indexOfNode(n->parent);
}

int ctrlQtTreeView::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    Node* p = parent.isValid() ? static_cast<Node*>(parent.internalPointer()) : root_.get();
    return static_cast<int>(p->children.size());
}

int ctrlQtTreeView::columnCount(const QModelIndex&) const
{
    return 1;
}

bool ctrlQtTreeView::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant ctrlQtTreeView::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    Node* n = static_cast<Node*>(index.internalPointer());
    const tviTreeViewItem* item = n->item;
    if (item == nullptr)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return gui::toQt(item->getText());
    case Qt::DecorationRole:
        return guiIcons::treeIcon(n == selection_ ? item->getSelectedImage() : item->getImage(),
                                  n->overlay);
    case Qt::ForegroundRole:
        if (item->isMarked())
            return markColour_;
        if (item->isSpecial() && item->getType() == typeRSSItemSet)
            return routeColour_;
        if (item->isSpecial() && item->getType() == typePSSItem)
            return pageColour_;
        return {};
    case Qt::FontRole: {
        auto* urlItem = dynamic_cast<const tviURLItem*>(item);
        if (urlItem == nullptr || !urlItem->isNewItem())
            return {};
        QFont font;
        font.setBold(true);
        return font;
    }
    case Qt::ToolTipRole: {
        std::string status;
        bool isError = false;
        item->getStatusText(status, isError);
        std::string url = item->getUrl();
        if (status.empty())
            return url.empty() ? QVariant() : QVariant(gui::addressToQt(url));
        return url.empty() ? gui::toQt(status)
                           : gui::addressToQt(url) + QStringLiteral("\n") + gui::toQt(status);
    }
    default: return {};
    }
}

bool ctrlQtTreeView::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole)
        return false;
    Node* n = liveNode(nodeOf(index));
    if (n == nullptr || n->item == nullptr)
        return false;
    bool kept = n->item->setText(gui::fromQt(value.toString()));
    emitChanged(n);
    return kept;
}

Qt::ItemFlags ctrlQtTreeView::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    tviTreeViewItem* item = static_cast<Node*>(index.internalPointer())->item;
    bool handled = false;
    if (item != nullptr && item->executeCommand(codeOf(utlCommand::labelEdit), true, handled) &&
        handled)
        f |= Qt::ItemIsEditable;
    return f;
}

bool ctrlQtTreeView::askYesNo(const std::string& text, const std::string& title, tviButtons buttons)
{
    lastQuestion = text;
    if (!interactive)
        return ctrlTreeView::askYesNo(text, title, buttons);
    bool yesNo = buttons == tviButtons::yesNo;
    QMessageBox box(QMessageBox::Question, fromSjisTitle(title), gui::toQt(text),
                    QMessageBox::NoButton, QApplication::activeWindow());
    // The buttons speak the program's language whatever translations the desktop has.
    QPushButton* accept =
        box.addButton(yesNo ? tr("はい") : QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* refuse =
        box.addButton(yesNo ? tr("いいえ") : tr("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(refuse);
    box.setEscapeButton(refuse);
    box.exec();
    return box.clickedButton() == accept;
}

tviPastePlace ctrlQtTreeView::choosePastePlace()
{
    if (!interactive)
        return ctrlTreeView::choosePastePlace();
    // Popup 2 of the item menus: the choice is the pop-up's answer, never a command.
    QMenu menu;
    QAction* inside = menu.addAction(tr("中に貼り付け(&M)"));
    QAction* below = menu.addAction(tr("下に貼り付け(&B)"));
    menu.addAction(tr("キャンセル(&C)"));
    QAction* chosen = menu.exec(QCursor::pos());
    if (chosen == inside)
        return tviPastePlace::inside;
    if (chosen == below)
        return tviPastePlace::below;
    return tviPastePlace::cancel;
}

void ctrlQtTreeView::showMessage(const std::string& text, const std::string& title)
{
    if (!interactive)
        return ctrlTreeView::showMessage(text, title);
    QMessageBox::information(QApplication::activeWindow(), fromSjisTitle(title), gui::toQt(text));
}

void ctrlQtTreeView::setClipboardText(const std::string& text)
{
    ctrlTreeView::setClipboardText(text);
    if (interactive)
        QApplication::clipboard()->setText(gui::addressToQt(text));
}

bool ctrlQtTreeView::openExternal(const std::string& target, bool newWindow)
{
    // The items have checked the address already; this is the last gate before the desktop.
    std::string checked;
    if (!tviTreeViewItem::isOpenableAddress(target, &checked))
        return false;
    lastOpened = checked;
    if (!interactive)
        return true;
    QString text = gui::addressToQt(checked);
    QUrl url = text.startsWith('/') ? QUrl::fromLocalFile(text) : QUrl(text);
    if (newWindow && !browserCommand.empty())
        return QProcess::startDetached(QString::fromStdString(browserCommand), {url.toString()});
    return QDesktopServices::openUrl(url);
}

void ctrlQtTreeView::showContextMenu(tviTreeViewItem* item)
{
    if (contextMenuHandler)
        contextMenuHandler(item);
}

void ctrlQtTreeView::openDialog(tviDialog dialog, tviTreeViewItem* item, const std::string& name)
{
    if (dialogHandler)
        dialogHandler(dialog, item, name);
}

int ctrlQtTreeView::charsetChoiceOf(const tviTreeViewItem* item) const
{
    auto it = charsetChoices_.find(item);
    return it != charsetChoices_.end() ? it->second : 0;
}

void ctrlQtTreeView::noteCharsetChoice(const tviTreeViewItem* item, int choice)
{
    charsetChoices_[item] = choice;
}
