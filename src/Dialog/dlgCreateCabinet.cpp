#include "Dialog/dlgCreateCabinet.h"

#include "Common/utlTexts.h"
#include "Dialog/dlgFolderChoice.h"
#include "Dialog/dlgNameCheck.h"
#include "QtBridge/guiText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

const char* const kTitle = utlTexts::sjis(utlText::helpCreateCabinet);

} // namespace

dlgCreateCabinet::dlgCreateCabinet(const std::vector<std::string>& folders, QWidget* parent)
    : dlgModelessDialog(1027, kTitle, parent)
{
    auto* form = new QFormLayout(this);
    name_ = new QLineEdit(tr("新規キャビネット"));
    name_->selectAll();
    description_ = new QPlainTextEdit;
    description_->setTabChangesFocus(true);
    auto* choice = new dlgFolderChoice(folders);
    folders_ = choice->combo();
    form->addRow(tr("名前(&N) :"), name_);
    form->addRow(tr("備考(&C) :"), description_);
    form->addRow(tr("キャビネットフォルダ(&F) :"), choice);
    auto* buttons = makeButtons(tr("作成"), tr("キャンセル"));
    form->addRow(buttons);
}

void dlgCreateCabinet::OnOK()
{
    if (dlgNameCheck::accept(name(),
                             dlgNameCheck::fileNameBytes(name(), dlgNameCheck::cabinetSuffix)))
        dlgModelessDialog::OnOK();
}

std::string dlgCreateCabinet::name() const
{
    return gui::fromQt(name_->text());
}

std::string dlgCreateCabinet::description() const
{
    std::string text = gui::fromQt(description_->toPlainText());
    std::string out;
    for (char c : text) {
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return out;
}

std::string dlgCreateCabinet::folder() const
{
    return folders_->currentText().toStdString();
}

void dlgCreateCabinet::setName(const std::string& sjis)
{
    name_->setText(gui::toQt(sjis));
}

void dlgCreateCabinet::setFolder(const std::string& folder)
{
    static_cast<dlgFolderChoice*>(folders_->parentWidget())->setFolder(folder);
}
