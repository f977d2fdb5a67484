#include "Dialog/dlgCopyCabinet.h"

#include "Common/utlTexts.h"
#include "Dialog/dlgFolderChoice.h"
#include "Dialog/dlgNameCheck.h"
#include "QtBridge/guiText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace {

const char* const kTitle = utlTexts::sjis(utlText::helpCopyCabinet);

} // namespace

dlgCopyCabinet::dlgCopyCabinet(const std::vector<std::string>& sources, int selected,
                               const std::vector<std::string>& folders, QWidget* parent)
    : dlgModelessDialog(1029, kTitle, parent)
{
    auto* form = new QFormLayout(this);
    sources_ = new QComboBox;
    for (const std::string& s : sources) {
        sources_->addItem(gui::toQt(s));
    }
    sources_->setCurrentIndex(selected >= 0 && selected < sources_->count() ? selected : 0);
    name_ = new QLineEdit;
    auto copyName = [this] {
        // "… のコピー"
        name_->setText(sources_->currentText() + tr("のコピー"));
    };
    copyName();
    connect(sources_, &QComboBox::currentIndexChanged, this, copyName);
    auto* choice = new dlgFolderChoice(folders);
    folders_ = choice->combo();
    form->addRow(tr("コピー元(&S) :"), sources_);
    form->addRow(tr("コピーの名前(&N) :"), name_);
    form->addRow(tr("キャビネットフォルダ(&F) :"), choice);
    auto* buttons = makeButtons(tr("作成"), tr("キャンセル"));
    form->addRow(buttons);
}

void dlgCopyCabinet::OnOK()
{
    if (dlgNameCheck::accept(name(),
                             dlgNameCheck::fileNameBytes(name(), dlgNameCheck::cabinetSuffix)))
        dlgModelessDialog::OnOK();
}

int dlgCopyCabinet::source() const
{
    return sources_->currentIndex();
}

std::string dlgCopyCabinet::name() const
{
    return gui::fromQt(name_->text());
}

std::string dlgCopyCabinet::folder() const
{
    return folders_->currentText().toStdString();
}

void dlgCopyCabinet::setName(const std::string& sjis)
{
    name_->setText(gui::toQt(sjis));
}

void dlgCopyCabinet::setFolder(const std::string& folder)
{
    static_cast<dlgFolderChoice*>(folders_->parentWidget())->setFolder(folder);
}
