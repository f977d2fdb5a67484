#include "TreeViewItemProperty/tviPrefPageSSCabinet.h"

#include "TreeViewItem/Snapshot/tviPageSnapshot.h"

tviPrefPageSSCabinet::tviPrefPageSSCabinet(QWidget* parent)
    : tviPrefPage("\x83X\x83i\x83" "b\x83v\x83V\x83\x87\x83" "b\x83g\x83L\x83\x83\x83r\x83l\x83" "b\x83g", // スナップショットキャビネット
                  "\x83X\x83i\x83" "b\x83v\x83V\x83\x87\x83" "b\x83g\x83L\x83\x83\x83r\x83l\x83" "b\x83g\x83v\x83\x8D\x83p\x83" "e\x83" "B", // スナップショットキャビネットプロパティ
                  parent)
{
}

tviPrefPageSSCabinet::~tviPrefPageSSCabinet() = default;

void tviPrefPageSSCabinet::initvalue(const tviTreeViewItem& item)
{
    const auto& cabinet = static_cast<const tviPageSnapshot&>(item);
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", cabinet.getText(), true); // 名前(&N) :
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", cabinet.getDescription(), true); // 備考(&C) :
    addLine("\x83p\x83X(&P) :", cabinet.getFolderPath(), true, LineKind::path); // パス(&P) :
    addAgeing(cabinet.getColorDay(), cabinet.getLimitDay(), cabinet.getMarkColor());
}
