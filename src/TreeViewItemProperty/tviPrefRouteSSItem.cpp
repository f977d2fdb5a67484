#include "TreeViewItemProperty/tviPrefRouteSSItem.h"

#include "TreeViewItem/Footprint/tviRSSItem.h"

tviPrefRouteSSItem::tviPrefRouteSSItem(QWidget* parent)
    : tviPrefPage("\x83t\x83" "b\x83g\x83v\x83\x8A\x83\x93\x83g\x83" "A\x83" "C\x83" "e\x83\x80", // フットプリントアイテム
                  "\x83t\x83" "b\x83g\x83v\x83\x8A\x83\x93\x83g\x83v\x83\x8D\x83p\x83" "e\x83" "B", // フットプリントプロパティ
                  parent)
{
}

tviPrefRouteSSItem::~tviPrefRouteSSItem() = default;

void tviPrefRouteSSItem::initvalue(const tviTreeViewItem& item)
{
    const auto& page = static_cast<const tviRSSItem&>(item);
    editable_ = !item.isReadOnly();
    addNameNoteMark(item, editable_, 259, page.getUrl());
    addPageRows(item, page.getProtocol(), true);
}
