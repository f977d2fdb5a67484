#include "Dialog/dlgPrefFile.h"

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
    : dlgPropertyPage(values, "\x83L\x83\x83\x83r\x83l\x83" "b\x83g", "\x83L\x83\x83\x83r\x83l\x83" "b\x83g\x90\xDD\x92\xE8\x89\xE6\x96\xCA", parent) // キャビネット, キャビネット設定画面
{
    auto* layout = new QVBoxLayout(this);
    folders_ = new QListWidget;
    auto* label = new QLabel(gui::toQt("\x83L\x83\x83\x83r\x83l\x83" "b\x83g\x82\xCC\x8F\xEA\x8F\x8A(&P)")); // キャビネットの場所(&P)
    label->setBuddy(folders_);
    auto* add = new QPushButton(gui::toQt("\x92\xC7\x89\xC1(&A)")); // 追加(&A)
    auto* remove = new QPushButton(gui::toQt("\x8D\xED\x8F\x9C(&D)")); // 削除(&D)
    auto* up = new QPushButton(gui::toQt("\x8F\xE3\x82\xD6\x88\xDA\x93\xAE(&U)")); // 上へ移動(&U)
    auto* down = new QPushButton(gui::toQt("\x89\xBA\x82\xD6\x88\xDA\x93\xAE(&V)")); // 下へ移動(&V)
    connect(add, &QPushButton::clicked, this, [this] {
        QString folder = QFileDialog::getExistingDirectory(this, gui::toQt("\x83L\x83\x83\x83r\x83l\x83" "b\x83g\x83t\x83H\x83\x8B\x83_\x82\xCC\x91I\x91\xF0")); // キャビネットフォルダの選択
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
        {"\x83t\x83" "b\x83g\x83v\x83\x8A\x83\x93\x83g", {IniKey::CRLimitColor, IniKey::ERLimitColor, IniKey::CRLimitDay, IniKey::ERLimitDay, IniKey::RouteMarkColor}, // フットプリント
         "\x88\xEA\x92\xE8\x8A\xFA\x8A\xD4\x89\xDF\x82\xAC\x82\xBD\x82\xE7\x90" "F\x82\xF0\x95\xCF\x82\xA6\x82\xE9(&M)", "\x93\xFA(&N)", "\x88\xEA\x92\xE8\x8A\xFA\x8A\xD4\x89\xDF\x82\xAC\x82\xBD\x82\xE7\x8D\xED\x8F\x9C\x82\xB7\x82\xE9(&B)", "\x93\xFA(&O)", "\x90" "F\x82\xCC\x91I\x91\xF0(C)"}, // 一定期間過ぎたら色を変える(&M), 日(&N), 一定期間過ぎたら削除する(&B), 日(&O), 色の選択(C)
        {"\x83X\x83i\x83" "b\x83v\x83V\x83\x87\x83" "b\x83g", {IniKey::CPLimitColor, IniKey::EPLimitColor, IniKey::CPLimitDay, IniKey::EPLimitDay, IniKey::PageMarkColor}, // スナップショット
         "\x88\xEA\x92\xE8\x8A\xFA\x8A\xD4\x89\xDF\x82\xAC\x82\xBD\x82\xE7\x90" "F\x82\xF0\x95\xCF\x82\xA6\x82\xE9(&K)", "\x93\xFA(&Q)", "\x88\xEA\x92\xE8\x8A\xFA\x8A\xD4\x89\xDF\x82\xAC\x82\xBD\x82\xE7\x8D\xED\x8F\x9C\x82\xB7\x82\xE9(&L)", "\x93\xFA(&R)", "\x90" "F\x82\xCC\x91I\x91\xF0(E)"}, // 一定期間過ぎたら色を変える(&K), 日(&Q), 一定期間過ぎたら削除する(&L), 日(&R), 色の選択(E)
    };
    for (const Group& g : groups) {
        QGroupBox* box = dlgPrefShared::group(layout, g.title);
        auto* grid = new QGridLayout;
        static_cast<QVBoxLayout*>(box->layout())->addLayout(grid);
        auto* colourOn = new QCheckBox(gui::toQt(g.colourLabel));
        auto* colourDays = new QLineEdit;
        auto* deleteOn = new QCheckBox(gui::toQt(g.deleteLabel));
        auto* deleteDays = new QLineEdit;
        for (QLineEdit* days : {colourDays, deleteDays})
            days->setMaximumWidth(60);
        auto* colourDaysLabel = new QLabel(gui::toQt(g.colourDaysLabel));
        colourDaysLabel->setBuddy(colourDays);
        auto* deleteDaysLabel = new QLabel(gui::toQt(g.deleteDaysLabel));
        deleteDaysLabel->setBuddy(deleteDays);
        grid->addWidget(colourOn, 0, 0);
        grid->addWidget(colourDays, 0, 1);
        grid->addWidget(colourDaysLabel, 0, 2);
        grid->addWidget(deleteOn, 1, 0);
        grid->addWidget(deleteDays, 1, 1);
        grid->addWidget(deleteDaysLabel, 1, 2);
        QPushButton* colour = makeColourButton(gui::toQt(g.chooser));
        grid->addWidget(colour, 2, 0);
        grid->setColumnStretch(3, 1);
        bindCheck(g.keys.colourOn, colourOn);
        bindDays(g.keys.colourDays, colourDays);
        bindCheck(g.keys.deleteOn, deleteOn);
        bindDays(g.keys.deleteDays, deleteDays);
        bindColour(g.keys.colour, colour);
    }
    // スナップショットにスクリプトを残す(&J): the saved page still contacts no server.
    auto* scripts = new QCheckBox(gui::toQt("\x83X\x83i\x83" "b\x83v\x83V\x83\x87\x83" "b\x83g\x82\xC9\x83X\x83N\x83\x8A\x83v"
                                            "\x83g\x82\xF0\x8E" "c\x82\xB7(&J)"));
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
