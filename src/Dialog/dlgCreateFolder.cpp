#include "Dialog/dlgCreateFolder.h"

#include "Common/utlTexts.h"
#include "Dialog/dlgNameCheck.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Base/ctrlTreeView.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <climits>

dlgCreateFolder::dlgCreateFolder(tviDialogData* out, const std::string& name, QWidget* parent)
    : dlgModelessDialog(1034, utlTexts::sjis(utlText::helpCreateFolder), parent), out_(out),
      name_(name)
{
    nameEdit_ = new QLineEdit(gui::toQt(name));
    limitBytes(nameEdit_, nameBytes);
    commentEdit_ = new QPlainTextEdit;
    commentEdit_->setTabChangesFocus(true);
    markBox_ = new QCheckBox;
    auto* form = new QFormLayout;
    form->addRow(tr("名前(&N) :"), nameEdit_);
    form->addRow(tr("備考(&C) :"), commentEdit_);
    form->addRow(tr("マーク(&M) :"), markBox_);
    auto* buttons = makeButtons(tr("作成"), tr("ｷｬﾝｾﾙ"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    nameEdit_->selectAll();
    nameEdit_->setFocus();
    resize(360, 220);
}

dlgCreateFolder::~dlgCreateFolder() = default;

void dlgCreateFolder::readControls()
{
    name_ = sjisOf(nameEdit_->text(), nameBytes);
    comment_ = commentOf(commentEdit_->toPlainText(), commentBytes);
    marked_ = markBox_->isChecked();
}

void dlgCreateFolder::publish()
{
    if (out_ != nullptr)
        *out_ = tviDialogData{name_, {}, comment_, marked_, accepted_};
}

void dlgCreateFolder::OnOK()
{
    readControls();
    if (namesDirectory_ && !dlgNameCheck::accept(name_, dlgNameCheck::fileNameBytes(
                                                            name_, dlgNameCheck::directorySuffix)))
        return;
    accepted_ = true;
    publish();
    if (runCommand())
        done(QDialog::Accepted);
}

void dlgCreateFolder::OnCancel()
{
    accepted_ = false;
    publish();
    dlgModelessDialog::OnCancel();
}
