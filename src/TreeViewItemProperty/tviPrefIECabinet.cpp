#include "TreeViewItemProperty/tviPrefIECabinet.h"

#include "TreeViewItem/Browser/tviInternetExplorer.h"

tviPrefIECabinet::tviPrefIECabinet(QWidget* parent)
    : tviPrefPage("\x82\xA8\x8B" "C\x82\xC9\x93\xFC\x82\xE8\x83L\x83\x83\x83r\x83l\x83" "b\x83g", // お気に入りキャビネット
                  "\x83L\x83\x83\x83r\x83l\x83" "b\x83g\x83v\x83\x8D\x83p\x83" "e\x83" "B", // キャビネットプロパティ
                  parent)
{
}

tviPrefIECabinet::~tviPrefIECabinet() = default;

void tviPrefIECabinet::initvalue(const tviTreeViewItem& item)
{
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", item.getText(), true); // 名前(&N) :
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", item.getDescription(), true); // 備考(&C) :
    // Never written: a .url file or a bookmark file is only read.
    addReadOnlyAttribute(true);
}
