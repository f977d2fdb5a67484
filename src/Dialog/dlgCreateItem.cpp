#include "Dialog/dlgCreateItem.h"

#include "Common/utlTexts.h"
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
    : dlgModelessDialog(1032, utlTexts::sjis(utlText::helpCreateItem), parent), out_(out),
      name_(name)
{
    nameEdit_ = new QLineEdit(gui::toQt(name));
    limitBytes(nameEdit_, nameBytes);
    urlEdit_ = new QLineEdit(QStringLiteral("http://"));
    limitBytes(urlEdit_, urlBytes);
    commentEdit_ = new QPlainTextEdit;
    commentEdit_->setTabChangesFocus(true);
    markBox_ = new QCheckBox;
    auto* form = new QFormLayout;
    form->addRow(tr("名前(&N) :"), nameEdit_);
    form->addRow(gui::toQt("URL(&U) :"), urlEdit_);
    form->addRow(tr("備考(&C) :"), commentEdit_);
    form->addRow(tr("マーク(&M) :"), markBox_);
    auto* buttons = makeButtons(tr("作成"), tr("キャンセル"));
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
    if (runCommand())
        done(QDialog::Accepted);
}

void dlgCreateItem::OnCancel()
{
    accepted_ = false;
    publish();
    dlgModelessDialog::OnCancel();
}
