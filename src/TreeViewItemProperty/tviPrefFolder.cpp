#include "TreeViewItemProperty/tviPrefFolder.h"

#include "Common/utlTexts.h"
#include "Dialog/dlgModelessDialog.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Base/ctrlTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinetFolder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

tviPrefFolder::tviPrefFolder(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("フォルダ")), utlTexts::sjis(utlText::helpFolderProperties),
                  parent)
{
}

tviPrefFolder::~tviPrefFolder() = default;

void tviPrefFolder::initvalue(const tviTreeViewItem& item)
{
    editable_ = !item.isReadOnly();
    nameEdit_ = addLine(tr("名前(&N) :"), item.getText(), !editable_);
    noteEdit_ = addNote(tr("備考(&C) :"), item.getDescription(), !editable_);
    markBox_ = addMark(item.isMarked(), editable_);
    addReadOnlyAttribute(item.isReadOnly());
}

void tviPrefFolder::collect(const tviTreeViewItem& item, tviDialogData& data) const
{
    tviPrefPage::collect(item, data);
    data.name = dlgModelessDialog::sjisOf(nameEdit_->text(), 1024);
    data.description = dlgModelessDialog::commentOf(noteEdit_->toPlainText(), 1024);
    data.marked = markBox_->isChecked();
}
