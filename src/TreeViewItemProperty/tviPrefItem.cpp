#include "TreeViewItemProperty/tviPrefItem.h"

#include "Dialog/dlgModelessDialog.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Base/ctrlTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

tviPrefItem::tviPrefItem(QWidget* parent)
    : tviPrefPage("\x83" "A\x83" "C\x83" "e\x83\x80", // アイテム
                  "\x83" "A\x83" "C\x83" "e\x83\x80\x83v\x83\x8D\x83p\x83" "e\x83" "B", // アイテムプロパティ
                  parent)
{
}

tviPrefItem::~tviPrefItem() = default;

void tviPrefItem::initvalue(const tviTreeViewItem& item)
{
    const auto& cabinetItem = static_cast<const tviCabinetItem&>(item);
    editable_ = !item.isReadOnly();
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", item.getText(), !editable_); // 名前(&N) :
    urlEdit_ = addLine("URL(&U) :", item.getUrl(), !editable_, LineKind::address);
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", item.getDescription(), !editable_); // 備考(&C) :
    markBox_ = addMark(item.isMarked(), editable_);
    addPageRows(item, cabinetItem.getProtocol(), true);
    addReadOnlyAttribute(item.isReadOnly());
}

void tviPrefItem::collect(const tviTreeViewItem& item, tviDialogData& data) const
{
    tviPrefPage::collect(item, data);
    data.name = dlgModelessDialog::sjisOf(nameEdit_->text(), 259);
    data.url = dlgModelessDialog::addressOf(urlEdit_->text().trimmed(), 1023);
    data.description = dlgModelessDialog::commentOf(noteEdit_->toPlainText(), 1 << 20);
    data.marked = markBox_->isChecked();
}
