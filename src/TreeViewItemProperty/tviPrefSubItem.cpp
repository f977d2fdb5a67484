#include "TreeViewItemProperty/tviPrefSubItem.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Base/ctrlTreeView.h"
#include "TreeViewItem/Base/tviSubItem.h"

#include <QCheckBox>

tviPrefSubItem::tviPrefSubItem(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("サブアイテム")), utlTexts::sjis(utlText::helpSubItemProperties),
                  parent)
{
}

tviPrefSubItem::~tviPrefSubItem() = default;

void tviPrefSubItem::initvalue(const tviTreeViewItem& item)
{
    const auto& sub = static_cast<const tviSubItem&>(item);
    nameEdit_ = addLine(tr("名前(&N) :"), item.getText(), true);
    urlEdit_ = addLine("URL(&U) :", item.getUrl(), true, LineKind::address);
    markBox_ = addMark(item.isMarked(), true);
    addPageRows(item, sub.getScheme(), false);
}

void tviPrefSubItem::collect(const tviTreeViewItem& item, tviDialogData& data) const
{
    tviPrefPage::collect(item, data);
    data.marked = markBox_->isChecked();
}
