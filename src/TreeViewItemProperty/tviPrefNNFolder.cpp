#include "TreeViewItemProperty/tviPrefNNFolder.h"

#include "TreeViewItem/Browser/tviNNFolder.h"

tviPrefNNFolder::tviPrefNNFolder(QWidget* parent)
    : tviPrefPage("\x83u\x83" "b\x83N\x83}\x81[\x83N\x83t\x83H\x83\x8B\x83_", // ブックマークフォルダ
                  "\x83t\x83H\x83\x8B\x83_\x83v\x83\x8D\x83p\x83" "e\x83" "B", // フォルダプロパティ
                  parent)
{
}

tviPrefNNFolder::~tviPrefNNFolder() = default;

void tviPrefNNFolder::initvalue(const tviTreeViewItem& item)
{
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", item.getText(), true); // 名前(&N) :
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", item.getDescription(), true); // 備考(&C) :
    // Never written: a .url file or a bookmark file is only read.
    addReadOnlyAttribute(true);
}
