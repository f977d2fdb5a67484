#include "TreeViewItemProperty/tviPrefFolder.h"

#include "Dialog/dlgModelessDialog.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Base/ctrlTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinetFolder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

tviPrefFolder::tviPrefFolder(QWidget* parent)
    : tviPrefPage("\x83t\x83H\x83\x8B\x83_", // フォルダ
                  "\x83t\x83H\x83\x8B\x83_\x83v\x83\x8D\x83p\x83" "e\x83" "B", // フォルダプロパティ
                  parent)
{
}

tviPrefFolder::~tviPrefFolder() = default;

void tviPrefFolder::initvalue(const tviTreeViewItem& item)
{
    editable_ = !item.isReadOnly();
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", item.getText(), !editable_); // 名前(&N) :
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", item.getDescription(), !editable_); // 備考(&C) :
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
