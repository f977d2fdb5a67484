#include "TreeViewItemProperty/tviPrefRouteSSFolder.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Footprint/tviRSSFolder.h"

tviPrefRouteSSFolder::tviPrefRouteSSFolder(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("フットプリントフォルダ")),
                  utlTexts::sjis(utlText::helpFolderProperties), parent)
{
}

tviPrefRouteSSFolder::~tviPrefRouteSSFolder() = default;

void tviPrefRouteSSFolder::initvalue(const tviTreeViewItem& item)
{
    editable_ = !item.isReadOnly();
    addNameNoteMark(item, editable_, 1024);
}
