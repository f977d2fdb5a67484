#include "TreeViewItemProperty/tviPrefNNItem.h"

#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Browser/tviNNItem.h"

tviPrefNNItem::tviPrefNNItem(QWidget* parent)
    : tviPrefPage("\x83u\x83" "b\x83N\x83}\x81[\x83N\x83" "A\x83" "C\x83" "e\x83\x80", // ブックマークアイテム
                  "\x83" "A\x83" "C\x83" "e\x83\x80\x83v\x83\x8D\x83p\x83" "e\x83" "B", // アイテムプロパティ
                  parent)
{
}

tviPrefNNItem::~tviPrefNNItem() = default;

void tviPrefNNItem::initvalue(const tviTreeViewItem& item)
{
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", item.getText(), true); // 名前(&N) :
    urlEdit_ = addLine("URL(&U) :", item.getUrl(), true, LineKind::address);
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", item.getDescription(), true); // 備考(&C) :
    addPageRows(item, tviCabinetItem::protocolOf(item.getUrl()), true);
    // Never written: a .url file or a bookmark file is only read.
    addReadOnlyAttribute(true);
}
