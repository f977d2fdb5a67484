#include "TreeViewItemProperty/tviPrefPageSSFolder.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Snapshot/tviPSSFolder.h"

tviPrefPageSSFolder::tviPrefPageSSFolder(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("スナップショットフォルダ")),
                  utlTexts::sjis(utlText::helpFolderProperties), parent)
{
}

tviPrefPageSSFolder::~tviPrefPageSSFolder() = default;

void tviPrefPageSSFolder::initvalue(const tviTreeViewItem& item)
{
    editable_ = !item.isReadOnly();
    addNameNoteMark(item, editable_, 1024);
}
