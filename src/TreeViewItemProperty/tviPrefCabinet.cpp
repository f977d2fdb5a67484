#include "TreeViewItemProperty/tviPrefCabinet.h"

#include "TreeViewItem/Cabinet/tviCabinet.h"

tviPrefCabinet::tviPrefCabinet(QWidget* parent)
    : tviPrefPage("\x83L\x83\x83\x83r\x83l\x83" "b\x83g", // キャビネット
                  "\x83L\x83\x83\x83r\x83l\x83" "b\x83g\x83v\x83\x8D\x83p\x83" "e\x83" "B", // キャビネットプロパティ
                  parent)
{
}

tviPrefCabinet::~tviPrefCabinet() = default;

void tviPrefCabinet::initvalue(const tviTreeViewItem& item)
{
    const auto& cabinet = static_cast<const tviCabinet&>(item);
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", cabinet.getText(), true); // 名前(&N) :
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", cabinet.getDescription(), true); // 備考(&C) :
    addLine("\x83p\x83X(&P) :", cabinet.getPath(), true, LineKind::path); // パス(&P) :
    addReadOnlyAttribute(cabinet.isReadOnly());
}
