#include "Dialog/ctrlCabinetTree.h"

#include "QtBridge/guiText.h"
#include "TreeViewItem/Cabinet/tviCabinetDirectory.h"

#include <QApplication>
#include <QHeaderView>
#include <QStyle>

ctrlCabinetTree::ctrlCabinetTree(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
}

QString ctrlCabinetTree::itemData(const QTreeWidgetItem* item)
{
    return item != nullptr ? item->data(0, Qt::UserRole).toString() : QString();
}

void ctrlCabinetTree::fill(const std::vector<std::string>& folders,
                           const std::function<bool(const std::string&)>& isOpen)
{
    clear();
    QStyle* style = QApplication::style();
    QIcon folderIcon = style->standardIcon(QStyle::SP_DirIcon);
    QIcon cabinetIcon = style->standardIcon(QStyle::SP_FileIcon);
    QIcon openIcon = style->standardIcon(QStyle::SP_DialogOpenButton);
    for (const std::string& folder : folders) {
        auto* root = new QTreeWidgetItem(this, {QString::fromStdString(folder)});
        root->setIcon(0, folderIcon);
        for (const tviCabinetDirectory::Entry& e : tviCabinetDirectory::list(folder)) {
            bool open = isOpen && isOpen(e.path);
            auto* node = new QTreeWidgetItem(root, {gui::toQt(e.title)});
            node->setIcon(0, open ? openIcon : cabinetIcon);
            node->setData(0, Qt::UserRole,
                          QString(open ? "1" : "0") + QString::fromStdString(e.path));
            node->setToolTip(0, QString::fromStdString(e.path));
        }
        root->setExpanded(true);
    }
}

std::string ctrlCabinetTree::choosablePath() const
{
    QTreeWidgetItem* item = currentItem();
    if (item == nullptr || item->parent() == nullptr) {
        return {};
    }
    QString data = itemData(item);
    if (data.isEmpty() || data[0] == '1') {
        return {};
    }
    return data.mid(1).toStdString();
}
