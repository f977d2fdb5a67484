#include "TreeViewItemProperty/tviPrefIECabinet.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Browser/tviInternetExplorer.h"

tviPrefIECabinet::tviPrefIECabinet(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("お気に入りキャビネット")),
                  utlTexts::sjis(utlText::helpCabinetProperties), parent)
{
}

tviPrefIECabinet::~tviPrefIECabinet() = default;

void tviPrefIECabinet::initvalue(const tviTreeViewItem& item)
{
    nameEdit_ = addLine(tr("名前(&N) :"), item.getText(), true);
    noteEdit_ = addNote(tr("備考(&C) :"), item.getDescription(), true);
    // Never written: a .url file or a bookmark file is only read.
    addReadOnlyAttribute(true);
}
