#include "Dialog/dlgCreateFolder.h"

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
    : dlgModelessDialog(1034, "\x83t\x83H\x83\x8B\x83_\x82\xCC\x90V\x8BK\x8D\xEC\x90\xAC", parent), // フォルダの新規作成
      out_(out), name_(name)
{
    nameEdit_ = new QLineEdit(gui::toQt(name));
    limitBytes(nameEdit_, nameBytes);
    commentEdit_ = new QPlainTextEdit;
    commentEdit_->setTabChangesFocus(true);
    markBox_ = new QCheckBox;
    auto* form = new QFormLayout;
    form->addRow(gui::toQt("\x96\xBC\x91O(&N) :"), nameEdit_);      // 名前(&N) :
    form->addRow(gui::toQt("\x94\xF5\x8Dl(&C) :"), commentEdit_);   // 備考(&C) :
    form->addRow(gui::toQt("\x83}\x81[\x83N(&M) :"), markBox_);     // マーク(&M) :
    auto* buttons = makeButtons("\x8D\xEC\x90\xAC", "\xB7\xAC\xDD\xBE\xD9"); // 作成, ｷｬﾝｾﾙ
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
    if (namesDirectory_ && !dlgNameCheck::accept(name_, dlgNameCheck::fileNameBytes(name_, dlgNameCheck::directorySuffix)))
        return;
    accepted_ = true;
    publish();
    if (runCommand("dlgCreateFolder::OnOK"))
        done(QDialog::Accepted);
}

void dlgCreateFolder::OnCancel()
{
    accepted_ = false;
    publish();
    dlgModelessDialog::OnCancel();
}
