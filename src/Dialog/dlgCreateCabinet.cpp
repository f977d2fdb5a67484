#include "Dialog/dlgCreateCabinet.h"

#include "Dialog/dlgFolderChoice.h"
#include "Dialog/dlgNameCheck.h"
#include "QtBridge/guiText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

// "キャビネットの新規作成"
const char* const kTitle = "\x83\x4c\x83\x83\x83\x72\x83\x6c\x83\x62\x83\x67\x82\xcc\x90\x56\x8b\x4b\x8d\xec\x90\xac";

} // namespace

dlgCreateCabinet::dlgCreateCabinet(const std::vector<std::string>& folders, QWidget* parent)
    : dlgModelessDialog(1027, kTitle, parent)
{
    auto* form = new QFormLayout(this);
    name_ = new QLineEdit(gui::toQt("\x90\x56\x8b\x4b\x83\x4c\x83\x83\x83\x72\x83\x6c\x83\x62\x83\x67")); // 新規キャビネット
    name_->selectAll();
    description_ = new QPlainTextEdit;
    description_->setTabChangesFocus(true);
    auto* choice = new dlgFolderChoice(folders);
    folders_ = choice->combo();
    form->addRow(gui::toQt("\x96\xbc\x91\x4f\x28\x26\x4e\x29\x20\x3a"), name_); // 名前(&N) :
    form->addRow(gui::toQt("\x94\xf5\x8d\x6c\x28\x26\x43\x29\x20\x3a"), description_); // 備考(&C) :
    form->addRow(gui::toQt("\x83\x4c\x83\x83\x83\x72\x83\x6c\x83\x62\x83\x67\x83\x74\x83\x48\x83\x8b\x83\x5f\x28\x26\x46\x29\x20\x3a"),
                 choice); // キャビネットフォルダ(&F) :
    auto* buttons = makeButtons("\x8d\xec\x90\xac", "\x83\x4c\x83\x83\x83\x93\x83\x5a\x83\x8b"); // 作成, キャンセル
    form->addRow(buttons);
}

void dlgCreateCabinet::OnOK()
{
    if (dlgNameCheck::accept(name(), dlgNameCheck::fileNameBytes(name(), dlgNameCheck::cabinetSuffix)))
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
