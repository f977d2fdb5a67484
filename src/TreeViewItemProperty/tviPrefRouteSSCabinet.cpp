#include "TreeViewItemProperty/tviPrefRouteSSCabinet.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Footprint/tviRouteSnapshot.h"

tviPrefRouteSSCabinet::tviPrefRouteSSCabinet(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("フットプリントキャビネット")),
                  utlTexts::sjis(utlText::helpFootprintCabinetProperties), parent)
{
}

tviPrefRouteSSCabinet::~tviPrefRouteSSCabinet() = default;

void tviPrefRouteSSCabinet::initvalue(const tviTreeViewItem& item)
{
    const auto& cabinet = static_cast<const tviRouteSnapshot&>(item);
    nameEdit_ = addLine(tr("名前(&N) :"), cabinet.getText(), true);
    noteEdit_ = addNote(tr("備考(&C) :"), cabinet.getDescription(), true);
    addLine(tr("パス(&P) :"), cabinet.getFilePath(), true, LineKind::path);
    addAgeing(cabinet.getColorDay(), cabinet.getDeleteDay(), cabinet.getMarkColor());
    addReadOnlyAttribute(cabinet.isReadOnly());
}
