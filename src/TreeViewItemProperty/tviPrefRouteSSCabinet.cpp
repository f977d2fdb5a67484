#include "TreeViewItemProperty/tviPrefRouteSSCabinet.h"

#include "TreeViewItem/Footprint/tviRouteSnapshot.h"

tviPrefRouteSSCabinet::tviPrefRouteSSCabinet(QWidget* parent)
    : tviPrefPage("\x83t\x83" "b\x83g\x83v\x83\x8A\x83\x93\x83g\x83L\x83\x83\x83r\x83l\x83" "b\x83g", // フットプリントキャビネット
                  "\x83t\x83" "b\x83g\x83v\x83\x8A\x83\x93\x83g\x83L\x83\x83\x83r\x83l\x83" "b\x83g\x83v\x83\x8D\x83p\x83" "e\x83" "B", // フットプリントキャビネットプロパティ
                  parent)
{
}

tviPrefRouteSSCabinet::~tviPrefRouteSSCabinet() = default;

void tviPrefRouteSSCabinet::initvalue(const tviTreeViewItem& item)
{
    const auto& cabinet = static_cast<const tviRouteSnapshot&>(item);
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", cabinet.getText(), true); // 名前(&N) :
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", cabinet.getDescription(), true); // 備考(&C) :
    addLine("\x83p\x83X(&P) :", cabinet.getFilePath(), true, LineKind::path); // パス(&P) :
    addAgeing(cabinet.getColorDay(), cabinet.getDeleteDay(), cabinet.getMarkColor());
    addReadOnlyAttribute(cabinet.isReadOnly());
}
