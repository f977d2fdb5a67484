#include "Dialog/dlgPrefSync.h"

#include "Common/utlTexts.h"
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
    : dlgPropertyPage(values, gui::fromQt(tr("連携")), utlTexts::sjis(utlText::helpPrefSync),
                      parent)
{
    auto* layout = new QVBoxLayout(this);
    QGroupBox* ie = dlgPrefShared::group(layout, tr("Internet Explorer との連携"));
    auto* useFavorites = new QCheckBox(tr("お気に入りを利用する(&I)"));
    auto* favorites = new QLineEdit;
    auto* favoritesForm = new QFormLayout;
    favoritesForm->addRow(tr("お気に入りの場所(&F)"), favorites);
    ie->layout()->addWidget(useFavorites);
    static_cast<QVBoxLayout*>(ie->layout())->addLayout(favoritesForm);
    bindCheck(IniKey::IEBK, useFavorites);
    bindPath(IniKey::FavoritesFolder, favorites);

    QGroupBox* nn = dlgPrefShared::group(layout, tr("Netscape Navigator との連携"));
    useBookmarks_ = new QCheckBox(tr("ブックマークを利用する(&B)"));
    bookmarkPath_ = new QLineEdit;
    auto* choose = new QPushButton(tr("選  択(&S)"));
    auto* row = new QHBoxLayout;
    row->addWidget(bookmarkPath_, 1);
    row->addWidget(choose);
    auto* form = new QFormLayout;
    // A label beside a row of controls gets no buddy by itself, and without one it shows its
    // "(&P)" as written.
    auto* placeLabel = new QLabel(tr("ブックマークの場所(&P)"));
    placeLabel->setBuddy(bookmarkPath_);
    form->addRow(placeLabel, row);
    nn->layout()->addWidget(useBookmarks_);
    static_cast<QVBoxLayout*>(nn->layout())->addLayout(form);
    bindCheck(IniKey::NNBK, useBookmarks_);
    bindPath(IniKey::NNBKName, bookmarkPath_);
    connect(choose, &QPushButton::clicked, this, [this] {
        QString filters = tr("ブックマーク *.html;*htm") + QStringLiteral(" (*.html *.htm);;") +
                          tr("全てのファイル (*.*)") + QStringLiteral(" (*)");
        QString path =
            QFileDialog::getOpenFileName(this, QString(), bookmarkPath_->text(), filters);
        if (!path.isEmpty())
            bookmarkPath_->setText(path);
    });

    auto* browserForm = new QFormLayout;
    auto* browser = new QLineEdit;
    browserForm->addRow(tr("ブラウザのコマンド(&R)"), browser);
    layout->addLayout(browserForm);
    bindPath(IniKey::BrowserCommand, browser);
    layout->addStretch(1);
}

dlgPrefSync::~dlgPrefSync() = default;

bool dlgPrefSync::test()
{
    if (!useBookmarks_->isChecked() || !bookmarkPath_->text().trimmed().isEmpty())
        return dlgPropertyPage::test();
    notify(gui::fromQt(tr("ブックマークの場所を指定して下さい。")), gui::fromQt(tr("注意")));
    bookmarkPath_->setFocus();
    return false;
}
