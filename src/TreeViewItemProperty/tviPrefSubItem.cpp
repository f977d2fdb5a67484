#include "TreeViewItemProperty/tviPrefSubItem.h"

#include "TreeViewItem/Base/ctrlTreeView.h"
#include "TreeViewItem/Base/tviSubItem.h"

#include <QCheckBox>

tviPrefSubItem::tviPrefSubItem(QWidget* parent)
    : tviPrefPage("\x83T\x83u\x83" "A\x83" "C\x83" "e\x83\x80", // サブアイテム
                  "\x83T\x83u\x83" "A\x83" "C\x83" "e\x83\x80\x83v\x83\x8D\x83p\x83" "e\x83" "B", // サブアイテムプロパティ
                  parent)
{
}

tviPrefSubItem::~tviPrefSubItem() = default;

void tviPrefSubItem::initvalue(const tviTreeViewItem& item)
{
    const auto& sub = static_cast<const tviSubItem&>(item);
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", item.getText(), true); // 名前(&N) :
    urlEdit_ = addLine("URL(&U) :", item.getUrl(), true, LineKind::address);
    markBox_ = addMark(item.isMarked(), true);
    addPageRows(item, sub.getScheme(), false);
}

void tviPrefSubItem::collect(const tviTreeViewItem& item, tviDialogData& data) const
{
    tviPrefPage::collect(item, data);
    data.marked = markBox_->isChecked();
}
