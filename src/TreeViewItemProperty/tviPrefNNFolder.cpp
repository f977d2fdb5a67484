#include "TreeViewItemProperty/tviPrefNNFolder.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Browser/tviNNFolder.h"

tviPrefNNFolder::tviPrefNNFolder(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("ブックマークフォルダ")),
                  utlTexts::sjis(utlText::helpFolderProperties), parent)
{
}

tviPrefNNFolder::~tviPrefNNFolder() = default;

void tviPrefNNFolder::initvalue(const tviTreeViewItem& item)
{
    nameEdit_ = addLine(tr("名前(&N) :"), item.getText(), true);
    noteEdit_ = addNote(tr("備考(&C) :"), item.getDescription(), true);
    // Never written: a .url file or a bookmark file is only read.
    addReadOnlyAttribute(true);
}
