#include "TreeViewItemProperty/tviPrefNNCabinet.h"

#include "TreeViewItem/Browser/tviNetscapeNavigator.h"

tviPrefNNCabinet::tviPrefNNCabinet(QWidget* parent)
    : tviPrefPage("\x83u\x83" "b\x83N\x83}\x81[\x83N\x83L\x83\x83\x83r\x83l\x83" "b\x83g", // ブックマークキャビネット
                  "\x83L\x83\x83\x83r\x83l\x83" "b\x83g\x83v\x83\x8D\x83p\x83" "e\x83" "B", // キャビネットプロパティ
                  parent)
{
}

tviPrefNNCabinet::~tviPrefNNCabinet() = default;

void tviPrefNNCabinet::initvalue(const tviTreeViewItem& item)
{
    const auto& cabinet = static_cast<const tviNetscapeNavigator&>(item);
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", cabinet.getText(), true); // 名前(&N) :
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", cabinet.getDescription(), true); // 備考(&C) :
    addLine("\x83p\x83X(&P) :", cabinet.getPath(), true, LineKind::path); // パス(&P) :
    // Never written: a .url file or a bookmark file is only read.
    addReadOnlyAttribute(true);
}
