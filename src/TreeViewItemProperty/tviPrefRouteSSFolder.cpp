#include "TreeViewItemProperty/tviPrefRouteSSFolder.h"

#include "TreeViewItem/Footprint/tviRSSFolder.h"

tviPrefRouteSSFolder::tviPrefRouteSSFolder(QWidget* parent)
    : tviPrefPage("\x83t\x83" "b\x83g\x83v\x83\x8A\x83\x93\x83g\x83t\x83H\x83\x8B\x83_", // フットプリントフォルダ
                  "\x83t\x83H\x83\x8B\x83_\x83v\x83\x8D\x83p\x83" "e\x83" "B", // フォルダプロパティ
                  parent)
{
}

tviPrefRouteSSFolder::~tviPrefRouteSSFolder() = default;

void tviPrefRouteSSFolder::initvalue(const tviTreeViewItem& item)
{
    editable_ = !item.isReadOnly();
    addNameNoteMark(item, editable_, 1024);
}
