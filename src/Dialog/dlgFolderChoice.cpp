#include "Dialog/dlgFolderChoice.h"

#include "QtBridge/guiText.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>

dlgFolderChoice::dlgFolderChoice(const std::vector<std::string>& folders, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    combo_ = new QComboBox;
    combo_->setEditable(false);
    for (const std::string& f : folders) {
        combo_->addItem(QString::fromStdString(f));
    }
    auto* browse = new QPushButton(tr("フォルダの選択"));
    // Return in the dialog confirms it; it never opens the folder chooser.
    browse->setAutoDefault(false);
    layout->addWidget(combo_, 1);
    layout->addWidget(browse);
    connect(browse, &QPushButton::clicked, this, [this] {
        QString chosen = QFileDialog::getExistingDirectory(this, QString(), combo_->currentText());
        if (!chosen.isEmpty()) {
            setFolder(chosen.toStdString());
        }
    });
}

std::string dlgFolderChoice::folder() const
{
    return combo_->currentText().toStdString();
}

void dlgFolderChoice::setFolder(const std::string& folder)
{
    std::string dir = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    int at = combo_->findText(QString::fromStdString(dir));
    if (at < 0) {
        combo_->addItem(QString::fromStdString(dir));
        at = combo_->count() - 1;
    }
    combo_->setCurrentIndex(at);
}
