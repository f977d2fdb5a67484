#include "Dialog/ctrlPropertySheet.h"

#include "Common/utlCommandRoot.h"
#include "Common/utlHelp.h"
#include "Common/utlLog.h"
#include "Dialog/dlgPrefEasy.h"
#include "Dialog/dlgPrefFile.h"
#include "Dialog/dlgPrefListView.h"
#include "Dialog/dlgPrefSync.h"
#include "Dialog/dlgPrefTreeView.h"
#include "Dialog/dlgPrefView.h"
#include "QtBridge/guiText.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

ctrlPropertySheet::ctrlPropertySheet(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("設定"));
    tabs_ = new QTabWidget;
    switchButton_ = new QPushButton;
    auto* reset = new QPushButton(tr("出荷時設定へ戻す(&F)"));
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("キャンセル"), QDialogButtonBox::RejectRole);
    QPushButton* help = buttons->addButton(tr("ヘルプ(&H)"), QDialogButtonBox::HelpRole);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (OnOK())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, &ctrlPropertySheet::OnHelp);
    connect(switchButton_, &QPushButton::clicked, this, &ctrlPropertySheet::OnSwitchMode);
    connect(reset, &QPushButton::clicked, this, &ctrlPropertySheet::OnFactorySettings);
    auto* extra = new QHBoxLayout;
    extra->addWidget(switchButton_);
    extra->addWidget(reset);
    extra->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(extra);
    layout->addWidget(buttons);
    resize(720, 560);
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, &ctrlPropertySheet::OnHelp);
    confirmReset = [this] {
        QMessageBox box(QMessageBox::Question, tr("設定変更"),
                        tr("設定画面の情報を初期設定に戻します。"),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        return box.exec() == QMessageBox::Ok;
    };
}

ctrlPropertySheet::~ctrlPropertySheet() = default;

void ctrlPropertySheet::initvalue()
{
    values_.load(*GetUtlIniInfo());
}

void ctrlPropertySheet::init(Mode mode)
{
    mode_ = mode;
    tabs_->clear();
    for (dlgPropertyPage* page : pages_)
        page->deleteLater();
    pages_.clear();
    if (mode == Mode::easy) {
        pages_.push_back(new dlgPrefEasy(values_));
    } else {
        pages_.push_back(new dlgPrefView(values_));
        pages_.push_back(new dlgPrefTreeView(values_));
        pages_.push_back(new dlgPrefListView(values_));
        pages_.push_back(new dlgPrefFile(values_));
        pages_.push_back(new dlgPrefSync(values_));
    }
    for (dlgPropertyPage* page : pages_) {
        page->init();
        tabs_->addTab(page, gui::toQt(page->title()));
    }
    switchButton_->setText(mode == Mode::easy ? tr("詳細設定へ(&D)") : tr("かんたん設定へ(&E)"));
    // The new button text needs its room now, not at the next event.
    if (layout() != nullptr)
        layout()->activate();
}

dlgPropertyPage* ctrlPropertySheet::currentPage() const
{
    return static_cast<dlgPropertyPage*>(tabs_->currentWidget());
}

void ctrlPropertySheet::applyPages()
{
    for (dlgPropertyPage* page : pages_)
        page->apply();
}

bool ctrlPropertySheet::OnOK()
{
    for (dlgPropertyPage* page : pages_) {
        if (!page->test()) {
            tabs_->setCurrentWidget(page);
            return false;
        }
    }
    applyPages();
    utlIniInfo* ini = GetUtlIniInfo();
    values_.store(*ini);
    // Written now, not only at shut-down: a program that ends abnormally keeps what was set.
    ini->save(); // a failure is logged by the settings themselves
    bool handled = false;
    if (!GetUtlCommandRoot()->executeCommand(6002, false, handled))
        logError(gui::fromQt(tr("コマンド実行に失敗しました")));
    return true;
}

void ctrlPropertySheet::OnSwitchMode()
{
    // What was entered so far stays: the new pages start from the values.
    applyPages();
    init(mode_ == Mode::easy ? Mode::detailed : Mode::easy);
}

void ctrlPropertySheet::OnFactorySettings()
{
    if (confirmReset && !confirmReset())
        return;
    for (dlgPropertyPage* page : pages_)
        page->setDefaultPref();
}

void ctrlPropertySheet::OnHelp()
{
    if (dlgPropertyPage* page = currentPage())
        GetUtlHelp()->showTopic(page->helpTitle());
}
