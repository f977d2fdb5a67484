#include "Dialog/dlgPrefFile.h"

#include "Common/utlTexts.h"
#include "Dialog/dlgPrefShared.h"
#include "Dialog/dlgPrefValues.h"
#include "QtBridge/guiText.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct AgeKeys {
    IniKey colourOn, colourDays, deleteOn, deleteDays, colour;
};

} // namespace

dlgPrefFile::dlgPrefFile(dlgPrefValues& values, QWidget* parent)
    : dlgPropertyPage(values, gui::fromQt(tr("キャビネット")),
                      utlTexts::sjis(utlText::helpPrefFile), parent)
{
    auto* layout = new QVBoxLayout(this);
    folders_ = new QListWidget;
    auto* label = new QLabel(tr("キャビネットの場所(&P)"));
    label->setBuddy(folders_);
    auto* add = new QPushButton(tr("追加(&A)"));
    auto* remove = new QPushButton(tr("削除(&D)"));
    auto* up = new QPushButton(tr("上へ移動(&U)"));
    auto* down = new QPushButton(tr("下へ移動(&V)"));
    connect(add, &QPushButton::clicked, this, [this] {
        QString folder = QFileDialog::getExistingDirectory(this, tr("キャビネットフォルダの選択"));
        if (!folder.isEmpty())
            addFolder(gui::pathFromQt(folder));
    });
    connect(remove, &QPushButton::clicked, this, [this] { removeSelected(); });
    connect(up, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveSelected(1); });
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {add, remove, up, down})
        buttons->addWidget(b);
    buttons->addStretch(1);
    auto* row = new QHBoxLayout;
    row->addWidget(folders_, 1);
    row->addLayout(buttons);
    layout->addWidget(label);
    layout->addLayout(row);
    values_.editsCabinetFolders = true;

    struct Group {
        const char* title;
        AgeKeys keys;
        const char* colourLabel;
        const char* colourDaysLabel;
        const char* deleteLabel;
        const char* deleteDaysLabel;
        const char* chooser;
    } groups[] = {
        {QT_TRANSLATE_NOOP("dlgPrefFile", "フットプリント"),
         {IniKey::CRLimitColor, IniKey::ERLimitColor, IniKey::CRLimitDay, IniKey::ERLimitDay,
          IniKey::RouteMarkColor},
         QT_TRANSLATE_NOOP("dlgPrefFile", "一定期間過ぎたら色を変える(&M)"),
         QT_TRANSLATE_NOOP("dlgPrefFile", "日(&N)"),
         QT_TRANSLATE_NOOP("dlgPrefFile", "一定期間過ぎたら削除する(&B)"),
         QT_TRANSLATE_NOOP("dlgPrefFile", "日(&O)"),
         QT_TRANSLATE_NOOP("dlgPrefFile", "色の選択(C)")},
        {QT_TRANSLATE_NOOP("dlgPrefFile", "スナップショット"),
         {IniKey::CPLimitColor, IniKey::EPLimitColor, IniKey::CPLimitDay, IniKey::EPLimitDay,
          IniKey::PageMarkColor},
         QT_TRANSLATE_NOOP("dlgPrefFile", "一定期間過ぎたら色を変える(&K)"),
         QT_TRANSLATE_NOOP("dlgPrefFile", "日(&Q)"),
         QT_TRANSLATE_NOOP("dlgPrefFile", "一定期間過ぎたら削除する(&L)"),
         QT_TRANSLATE_NOOP("dlgPrefFile", "日(&R)"),
         QT_TRANSLATE_NOOP("dlgPrefFile", "色の選択(E)")},
    };
    for (const Group& g : groups) {
        QGroupBox* box = dlgPrefShared::group(layout, tr(g.title));
        auto* grid = new QGridLayout;
        static_cast<QVBoxLayout*>(box->layout())->addLayout(grid);
        auto* colourOn = new QCheckBox(tr(g.colourLabel));
        auto* colourDays = new QLineEdit;
        auto* deleteOn = new QCheckBox(tr(g.deleteLabel));
        auto* deleteDays = new QLineEdit;
        for (QLineEdit* days : {colourDays, deleteDays})
            days->setMaximumWidth(60);
        auto* colourDaysLabel = new QLabel(tr(g.colourDaysLabel));
        colourDaysLabel->setBuddy(colourDays);
        auto* deleteDaysLabel = new QLabel(tr(g.deleteDaysLabel));
        deleteDaysLabel->setBuddy(deleteDays);
        grid->addWidget(colourOn, 0, 0);
        grid->addWidget(colourDays, 0, 1);
        grid->addWidget(colourDaysLabel, 0, 2);
        grid->addWidget(deleteOn, 1, 0);
        grid->addWidget(deleteDays, 1, 1);
        grid->addWidget(deleteDaysLabel, 1, 2);
        QPushButton* colour = makeColourButton(tr(g.chooser));
        grid->addWidget(colour, 2, 0);
        grid->setColumnStretch(3, 1);
        bindCheck(g.keys.colourOn, colourOn);
        bindDays(g.keys.colourDays, colourDays);
        bindCheck(g.keys.deleteOn, deleteOn);
        bindDays(g.keys.deleteDays, deleteDays);
        bindColour(g.keys.colour, colour);
    }
    // スナップショットにスクリプトを残す(&J): the saved page still contacts no server.
    auto* scripts = new QCheckBox(tr("スナップショットにスクリプトを残す(&J)"));
    scripts->setObjectName(QStringLiteral("snapshotScripts"));
    layout->addWidget(scripts);
    bindCheck(IniKey::SnapshotScripts, scripts);
    layout->addStretch(1);
}

dlgPrefFile::~dlgPrefFile() = default;

void dlgPrefFile::init()
{
    dlgPropertyPage::init();
    folders_->clear();
    for (const std::string& path : values_.cabinetFolders)
        folders_->addItem(gui::pathToQt(path));
    folders_->setCurrentRow(0);
}

void dlgPrefFile::apply()
{
    dlgPropertyPage::apply();
    values_.cabinetFolders.clear();
    for (int i = 0; i < folders_->count(); ++i)
        values_.cabinetFolders.push_back(gui::pathFromQt(folders_->item(i)->text()));
}

void dlgPrefFile::addFolder(const std::string& path)
{
    std::string folder = path.empty() || path.back() == '/' ? path : path + "/";
    if (folder.empty() || !folders_->findItems(gui::pathToQt(folder), Qt::MatchExactly).isEmpty())
        return;
    folders_->addItem(gui::pathToQt(folder));
    folders_->setCurrentRow(folders_->count() - 1);
}

void dlgPrefFile::removeSelected()
{
    delete folders_->takeItem(folders_->currentRow());
}

void dlgPrefFile::moveSelected(int step)
{
    int row = folders_->currentRow();
    int target = row + step;
    if (row < 0 || target < 0 || target >= folders_->count())
        return;
    QListWidgetItem* entry = folders_->takeItem(row);
    folders_->insertItem(target, entry);
    folders_->setCurrentRow(target);
}
