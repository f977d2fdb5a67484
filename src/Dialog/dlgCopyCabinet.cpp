#include "Dialog/dlgCopyCabinet.h"

#include "Dialog/dlgFolderChoice.h"
#include "Dialog/dlgNameCheck.h"
#include "QtBridge/guiText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace {

// "キャビネットのコピーを作成"
const char* const kTitle = "\x83\x4c\x83\x83\x83\x72\x83\x6c\x83\x62\x83\x67\x82\xcc\x83\x52\x83\x73\x81\x5b\x82\xf0\x8d\xec\x90\xac";

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
        name_->setText(sources_->currentText() + gui::toQt("\x82\xcc\x83\x52\x83\x73\x81\x5b"));
    };
    copyName();
    connect(sources_, &QComboBox::currentIndexChanged, this, copyName);
    auto* choice = new dlgFolderChoice(folders);
    folders_ = choice->combo();
    form->addRow(gui::toQt("\x83\x52\x83\x73\x81\x5b\x8c\xb3\x28\x26\x53\x29\x20\x3a"), sources_); // コピー元(&S) :
    form->addRow(gui::toQt("\x83\x52\x83\x73\x81\x5b\x82\xcc\x96\xbc\x91\x4f\x28\x26\x4e\x29\x20\x3a"), name_); // コピーの名前(&N) :
    form->addRow(gui::toQt("\x83\x4c\x83\x83\x83\x72\x83\x6c\x83\x62\x83\x67\x83\x74\x83\x48\x83\x8b\x83\x5f\x28\x26\x46\x29\x20\x3a"),
                 choice); // キャビネットフォルダ(&F) :
    auto* buttons = makeButtons("\x8d\xec\x90\xac", "\x83\x4c\x83\x83\x83\x93\x83\x5a\x83\x8b"); // 作成, キャンセル
    form->addRow(buttons);
}

void dlgCopyCabinet::OnOK()
{
    if (dlgNameCheck::accept(name(), dlgNameCheck::fileNameBytes(name(), dlgNameCheck::cabinetSuffix)))
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
