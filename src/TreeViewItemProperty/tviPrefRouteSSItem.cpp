#include "TreeViewItemProperty/tviPrefRouteSSItem.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Footprint/tviRSSItem.h"

tviPrefRouteSSItem::tviPrefRouteSSItem(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("フットプリントアイテム")),
                  utlTexts::sjis(utlText::helpFootprintProperties), parent)
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
