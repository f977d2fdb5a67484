#include "TreeViewItemProperty/tviPrefIEItem.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Browser/tviIEItem.h"

tviPrefIEItem::tviPrefIEItem(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("お気に入りアイテム")),
                  utlTexts::sjis(utlText::helpItemProperties), parent)
{
}

tviPrefIEItem::~tviPrefIEItem() = default;

void tviPrefIEItem::initvalue(const tviTreeViewItem& item)
{
    nameEdit_ = addLine(tr("名前(&N) :"), item.getText(), true);
    urlEdit_ = addLine("URL(&U) :", item.getUrl(), true, LineKind::address);
    noteEdit_ = addNote(tr("備考(&C) :"), item.getDescription(), true);
    addPageRows(item, tviCabinetItem::protocolOf(item.getUrl()), true);
    // Never written: a .url file or a bookmark file is only read.
    addReadOnlyAttribute(true);
}
