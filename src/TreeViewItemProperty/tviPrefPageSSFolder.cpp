#include "TreeViewItemProperty/tviPrefPageSSFolder.h"

#include "TreeViewItem/Snapshot/tviPSSFolder.h"

tviPrefPageSSFolder::tviPrefPageSSFolder(QWidget* parent)
    : tviPrefPage("\x83X\x83i\x83" "b\x83v\x83V\x83\x87\x83" "b\x83g\x83t\x83H\x83\x8B\x83_", // スナップショットフォルダ
                  "\x83t\x83H\x83\x8B\x83_\x83v\x83\x8D\x83p\x83" "e\x83" "B", // フォルダプロパティ
                  parent)
{
}

tviPrefPageSSFolder::~tviPrefPageSSFolder() = default;

void tviPrefPageSSFolder::initvalue(const tviTreeViewItem& item)
{
    editable_ = !item.isReadOnly();
    addNameNoteMark(item, editable_, 1024);
}
