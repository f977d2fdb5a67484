#include "TreeViewItemProperty/tviPrefNNCabinet.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Browser/tviNetscapeNavigator.h"

tviPrefNNCabinet::tviPrefNNCabinet(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("ブックマークキャビネット")),
                  utlTexts::sjis(utlText::helpCabinetProperties), parent)
{
}

tviPrefNNCabinet::~tviPrefNNCabinet() = default;

void tviPrefNNCabinet::initvalue(const tviTreeViewItem& item)
{
    const auto& cabinet = static_cast<const tviNetscapeNavigator&>(item);
    nameEdit_ = addLine(tr("名前(&N) :"), cabinet.getText(), true);
    noteEdit_ = addNote(tr("備考(&C) :"), cabinet.getDescription(), true);
    addLine(tr("パス(&P) :"), cabinet.getPath(), true, LineKind::path);
    // Never written: a .url file or a bookmark file is only read.
    addReadOnlyAttribute(true);
}
