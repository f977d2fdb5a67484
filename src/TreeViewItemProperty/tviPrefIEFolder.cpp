#include "TreeViewItemProperty/tviPrefIEFolder.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Browser/tviIEFolder.h"

tviPrefIEFolder::tviPrefIEFolder(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("お気に入りフォルダ")),
                  utlTexts::sjis(utlText::helpFolderProperties), parent)
{
}

tviPrefIEFolder::~tviPrefIEFolder() = default;

void tviPrefIEFolder::initvalue(const tviTreeViewItem& item)
{
    nameEdit_ = addLine(tr("名前(&N) :"), item.getText(), true);
    noteEdit_ = addNote(tr("備考(&C) :"), item.getDescription(), true);
    // Never written: a .url file or a bookmark file is only read.
    addReadOnlyAttribute(true);
}
