#include "TreeViewItemProperty/tviPrefPageSSCabinet.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"

tviPrefPageSSCabinet::tviPrefPageSSCabinet(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("スナップショットキャビネット")),
                  utlTexts::sjis(utlText::helpSnapshotCabinetProperties), parent)
{
}

tviPrefPageSSCabinet::~tviPrefPageSSCabinet() = default;

void tviPrefPageSSCabinet::initvalue(const tviTreeViewItem& item)
{
    const auto& cabinet = static_cast<const tviPageSnapshot&>(item);
    nameEdit_ = addLine(tr("名前(&N) :"), cabinet.getText(), true);
    noteEdit_ = addNote(tr("備考(&C) :"), cabinet.getDescription(), true);
    addLine(tr("パス(&P) :"), cabinet.getFolderPath(), true, LineKind::path);
    addAgeing(cabinet.getColorDay(), cabinet.getLimitDay(), cabinet.getMarkColor());
}
