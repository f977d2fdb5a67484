#include "Dialog/dlgCreateItem.h"

#include "QtBridge/guiText.h"
#include "TreeViewItem/Base/ctrlTreeView.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <climits>

dlgCreateItem::dlgCreateItem(tviDialogData* out, const std::string& name, QWidget* parent)
    : dlgModelessDialog(1032, "\x83" "A\x83" "C\x83" "e\x83\x80\x82\xCC\x90V\x8BK\x8D\xEC\x90\xAC", parent), // アイテムの新規作成
      out_(out), name_(name)
{
    nameEdit_ = new QLineEdit(gui::toQt(name));
    limitBytes(nameEdit_, nameBytes);
    urlEdit_ = new QLineEdit(QStringLiteral("http://"));
    limitBytes(urlEdit_, urlBytes);
    commentEdit_ = new QPlainTextEdit;
    commentEdit_->setTabChangesFocus(true);
    markBox_ = new QCheckBox;
    auto* form = new QFormLayout;
    form->addRow(gui::toQt("\x96\xBC\x91O(&N) :"), nameEdit_);      // 名前(&N) :
    form->addRow(gui::toQt("URL(&U) :"), urlEdit_);
    form->addRow(gui::toQt("\x94\xF5\x8Dl(&C) :"), commentEdit_);   // 備考(&C) :
    form->addRow(gui::toQt("\x83}\x81[\x83N(&M) :"), markBox_);     // マーク(&M) :
    auto* buttons = makeButtons("\x8D\xEC\x90\xAC", "\x83L\x83\x83\x83\x93\x83Z\x83\x8B"); // 作成, キャンセル
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    nameEdit_->selectAll();
    nameEdit_->setFocus();
    resize(400, 240);
}

dlgCreateItem::~dlgCreateItem() = default;

void dlgCreateItem::readControls()
{
    name_ = sjisOf(nameEdit_->text(), nameBytes);
    url_ = addressOf(urlEdit_->text().trimmed(), urlBytes);
    // The comment has no limit of its own.
    comment_ = commentOf(commentEdit_->toPlainText(), static_cast<std::size_t>(INT_MAX));
    marked_ = markBox_->isChecked();
}

void dlgCreateItem::publish()
{
    if (out_ != nullptr)
        *out_ = tviDialogData{name_, url_, comment_, marked_, accepted_};
}

void dlgCreateItem::OnOK()
{
    readControls();
    accepted_ = true;
    publish();
    if (runCommand("dlgCreateItem::OnOK"))
        done(QDialog::Accepted);
}

void dlgCreateItem::OnCancel()
{
    accepted_ = false;
    publish();
    dlgModelessDialog::OnCancel();
}
