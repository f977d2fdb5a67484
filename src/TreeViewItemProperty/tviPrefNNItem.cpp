#include "TreeViewItemProperty/tviPrefNNItem.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Browser/tviNNItem.h"

tviPrefNNItem::tviPrefNNItem(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("ブックマークアイテム")),
                  utlTexts::sjis(utlText::helpItemProperties), parent)
{
}

tviPrefNNItem::~tviPrefNNItem() = default;

void tviPrefNNItem::initvalue(const tviTreeViewItem& item)
{
    nameEdit_ = addLine(tr("名前(&N) :"), item.getText(), true);
    urlEdit_ = addLine("URL(&U) :", item.getUrl(), true, LineKind::address);
    noteEdit_ = addNote(tr("備考(&C) :"), item.getDescription(), true);
    addPageRows(item, tviCabinetItem::protocolOf(item.getUrl()), true);
    // Never written: a .url file or a bookmark file is only read.
    addReadOnlyAttribute(true);
}
