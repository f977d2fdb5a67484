#include "TreeViewItemProperty/tviPrefIEItem.h"

#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Browser/tviIEItem.h"

tviPrefIEItem::tviPrefIEItem(QWidget* parent)
    : tviPrefPage("\x82\xA8\x8B" "C\x82\xC9\x93\xFC\x82\xE8\x83" "A\x83" "C\x83" "e\x83\x80", // お気に入りアイテム
                  "\x83" "A\x83" "C\x83" "e\x83\x80\x83v\x83\x8D\x83p\x83" "e\x83" "B", // アイテムプロパティ
                  parent)
{
}

tviPrefIEItem::~tviPrefIEItem() = default;

void tviPrefIEItem::initvalue(const tviTreeViewItem& item)
{
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", item.getText(), true); // 名前(&N) :
    urlEdit_ = addLine("URL(&U) :", item.getUrl(), true, LineKind::address);
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", item.getDescription(), true); // 備考(&C) :
    addPageRows(item, tviCabinetItem::protocolOf(item.getUrl()), true);
    // Never written: a .url file or a bookmark file is only read.
    addReadOnlyAttribute(true);
}
