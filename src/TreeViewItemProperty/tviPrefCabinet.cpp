#include "TreeViewItemProperty/tviPrefCabinet.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"

tviPrefCabinet::tviPrefCabinet(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("キャビネット")), utlTexts::sjis(utlText::helpCabinetProperties),
                  parent)
{
}

tviPrefCabinet::~tviPrefCabinet() = default;

void tviPrefCabinet::initvalue(const tviTreeViewItem& item)
{
    const auto& cabinet = static_cast<const tviCabinet&>(item);
    nameEdit_ = addLine(tr("名前(&N) :"), cabinet.getText(), true);
    noteEdit_ = addNote(tr("備考(&C) :"), cabinet.getDescription(), true);
    addLine(tr("パス(&P) :"), cabinet.getPath(), true, LineKind::path);
    addReadOnlyAttribute(cabinet.isReadOnly());
}
