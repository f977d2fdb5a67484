#include "TreeViewItemProperty/tviPrefPageSSItem.h"

#include "Common/kivaTime.h"
#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Snapshot/tviAgeing.h"
#include "TreeViewItem/Snapshot/tviPSSItem.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"

#include <QLineEdit>

tviPrefPageSSItem::tviPrefPageSSItem(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("スナップショットアイテム")),
                  utlTexts::sjis(utlText::helpSnapshotProperties), parent)
{
}

tviPrefPageSSItem::~tviPrefPageSSItem() = default;

void tviPrefPageSSItem::initvalue(const tviTreeViewItem& item)
{
    const auto& snapshot = static_cast<const tviPSSItem&>(item);
    editable_ = !item.isReadOnly();
    addNameNoteMark(item, editable_, 255, snapshot.getSource());
    // While it downloads the tree shows the state instead of the name.
    nameEdit_->setText(gui::toQt(snapshot.getName()));
    addAutoDelete(snapshot.getAutoDelete(), editable_);
    const tviPageSnapshot* cabinet = tviPageSnapshot::cabinetOf(&item);
    if (cabinet == nullptr)
        return;
    const kivaTime& created = snapshot.getCreated();
    addDates(created, tviAgeing::addDays(created, cabinet->getColorDay()),
             tviAgeing::addDays(created, cabinet->getLimitDay()));
}
