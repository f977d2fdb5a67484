#include "TreeViewItemProperty/tviPrefIEFolder.h"

#include "TreeViewItem/Browser/tviIEFolder.h"

tviPrefIEFolder::tviPrefIEFolder(QWidget* parent)
    : tviPrefPage("\x82\xA8\x8B" "C\x82\xC9\x93\xFC\x82\xE8\x83t\x83H\x83\x8B\x83_", // お気に入りフォルダ
                  "\x83t\x83H\x83\x8B\x83_\x83v\x83\x8D\x83p\x83" "e\x83" "B", // フォルダプロパティ
                  parent)
{
}

tviPrefIEFolder::~tviPrefIEFolder() = default;

void tviPrefIEFolder::initvalue(const tviTreeViewItem& item)
{
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", item.getText(), true); // 名前(&N) :
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", item.getDescription(), true); // 備考(&C) :
    // Never written: a .url file or a bookmark file is only read.
    addReadOnlyAttribute(true);
}
