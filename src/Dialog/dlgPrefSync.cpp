#include "Dialog/dlgPrefSync.h"

#include "Dialog/dlgPrefShared.h"
#include "QtBridge/guiText.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

dlgPrefSync::dlgPrefSync(dlgPrefValues& values, QWidget* parent)
    : dlgPropertyPage(values, "\x98" "A\x8Cg", "\x98" "A\x8Cg\x90\xDD\x92\xE8\x89\xE6\x96\xCA", parent) // 連携, 連携設定画面
{
    auto* layout = new QVBoxLayout(this);
    QGroupBox* ie = dlgPrefShared::group(layout, "Internet Explorer \x82\xC6\x82\xCC\x98" "A\x8Cg"); // Internet Explorer との連携
    auto* useFavorites = new QCheckBox(gui::toQt("\x82\xA8\x8B" "C\x82\xC9\x93\xFC\x82\xE8\x82\xF0\x97\x98\x97p\x82\xB7\x82\xE9(&I)")); // お気に入りを利用する(&I)
    auto* favorites = new QLineEdit;
    auto* favoritesForm = new QFormLayout;
    favoritesForm->addRow(gui::toQt("\x82\xA8\x8B" "C\x82\xC9\x93\xFC\x82\xE8\x82\xCC\x8F\xEA\x8F\x8A(&F)"), favorites); // お気に入りの場所(&F)
    ie->layout()->addWidget(useFavorites);
    static_cast<QVBoxLayout*>(ie->layout())->addLayout(favoritesForm);
    bindCheck(IniKey::IEBK, useFavorites);
    bindPath(IniKey::FavoritesFolder, favorites);

    QGroupBox* nn = dlgPrefShared::group(layout, "Netscape Navigator \x82\xC6\x82\xCC\x98" "A\x8Cg"); // Netscape Navigator との連携
    useBookmarks_ = new QCheckBox(gui::toQt("\x83u\x83" "b\x83N\x83}\x81[\x83N\x82\xF0\x97\x98\x97p\x82\xB7\x82\xE9(&B)")); // ブックマークを利用する(&B)
    bookmarkPath_ = new QLineEdit;
    auto* choose = new QPushButton(gui::toQt("\x91I  \x91\xF0(&S)")); // 選  択(&S)
    auto* row = new QHBoxLayout;
    row->addWidget(bookmarkPath_, 1);
    row->addWidget(choose);
    auto* form = new QFormLayout;
    // A label beside a row of controls gets no buddy by itself, and without one it shows its
    // "(&P)" as written.
    auto* placeLabel = new QLabel(gui::toQt("\x83u\x83" "b\x83N\x83}\x81[\x83N\x82\xCC\x8F\xEA\x8F\x8A(&P)")); // ブックマークの場所(&P)
    placeLabel->setBuddy(bookmarkPath_);
    form->addRow(placeLabel, row);
    nn->layout()->addWidget(useBookmarks_);
    static_cast<QVBoxLayout*>(nn->layout())->addLayout(form);
    bindCheck(IniKey::NNBK, useBookmarks_);
    bindPath(IniKey::NNBKName, bookmarkPath_);
    connect(choose, &QPushButton::clicked, this, [this] {
        QString filters = gui::toQt("\x83u\x83" "b\x83N\x83}\x81[\x83N *.html;*htm") + QStringLiteral(" (*.html *.htm);;") + // ブックマーク *.html;*htm
                          gui::toQt("\x91S\x82\xC4\x82\xCC\x83t\x83@\x83" "C\x83\x8B (*.*)") + QStringLiteral(" (*)"); // 全てのファイル (*.*)
        QString path = QFileDialog::getOpenFileName(this, QString(), bookmarkPath_->text(), filters);
        if (!path.isEmpty())
            bookmarkPath_->setText(path);
    });

    auto* browserForm = new QFormLayout;
    auto* browser = new QLineEdit;
    browserForm->addRow(gui::toQt("\x83u\x83\x89\x83" "E\x83U\x82\xCC\x83R\x83}\x83\x93\x83h(&R)"), browser); // ブラウザのコマンド(&R)
    layout->addLayout(browserForm);
    bindPath(IniKey::BrowserCommand, browser);
    layout->addStretch(1);
}

dlgPrefSync::~dlgPrefSync() = default;

bool dlgPrefSync::test()
{
    if (!useBookmarks_->isChecked() || !bookmarkPath_->text().trimmed().isEmpty())
        return dlgPropertyPage::test();
    notify("\x83u\x83" "b\x83N\x83}\x81[\x83N\x82\xCC\x8F\xEA\x8F\x8A\x82\xF0\x8Ew\x92\xE8\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2\x81" "B", "\x92\x8D\x88\xD3"); // ブックマークの場所を指定して下さい。, 注意
    bookmarkPath_->setFocus();
    return false;
}
