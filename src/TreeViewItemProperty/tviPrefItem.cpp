#include "TreeViewItemProperty/tviPrefItem.h"

#include "Common/kivaTime.h"
#include "Common/utlTexts.h"
#include "Dialog/dlgModelessDialog.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Base/ctrlTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

tviPrefItem::tviPrefItem(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("アイテム")), utlTexts::sjis(utlText::helpItemProperties), parent)
{
}

tviPrefItem::~tviPrefItem() = default;

void tviPrefItem::initvalue(const tviTreeViewItem& item)
{
    const auto& cabinetItem = static_cast<const tviCabinetItem&>(item);
    editable_ = !item.isReadOnly();
    nameEdit_ = addLine(tr("名前(&N) :"), item.getText(), !editable_);
    urlEdit_ = addLine("URL(&U) :", item.getUrl(), !editable_, LineKind::address);
    if (!cabinetItem.getArchived().empty()) {
        // The archived copy a check found for the dead page, and the archive's date of it.
        addLine(tr("アーカイブ :"), cabinetItem.getArchived(), true, LineKind::address);
        kivaTime date;
        if (cabinetItem.getArchivedDate() > 0 &&
            date.fromCalendarSeconds(cabinetItem.getArchivedDate()))
            addLine(tr("アーカイブ日時 :"), date.toDisplayText(), true);
    }
    noteEdit_ = addNote(tr("備考(&C) :"), item.getDescription(), !editable_);
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
