#include "Dialog/dlgSSPage.h"

#include "Common/utlTexts.h"
#include "Dialog/dlgNameCheck.h"
#include "QtBridge/guiText.h"
#include "Platform/platformText.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cstdio>

namespace {

constexpr std::size_t nameLimit = 255;

} // namespace

std::string dlgSSPage::locationText(const std::string& location)
{
    return gui::fromQt(tr("保存する場所 : ")) + location;
}

std::string dlgSSPage::colourText(int days)
{
    char text[128];
    std::snprintf(text, sizeof text, gui::fromQt(tr("一定期間過ぎたら色を変える   %d日")).c_str(),
                  days);
    return text;
}

std::string dlgSSPage::deleteText(int days)
{
    char text[128];
    std::snprintf(text, sizeof text, gui::fromQt(tr("一定期間過ぎたら削除する     %d日")).c_str(),
                  days);
    return text;
}

std::string dlgSSPage::keptText()
{
    return gui::fromQt(
        tr("保存するもの : ページ、フレーム、画像、スタイルシート、背景、アイコン、動画と音声"));
}

std::string dlgSSPage::droppedText(bool keepScripts)
{
    if (keepScripts) {
        return gui::fromQt(
            tr("保存しないもの : プラグイン、保存できなかった読み込み先 (スクリプトは残します)"));
    }
    return gui::fromQt(tr("保存しないもの : スクリプト、プラグイン、保存できなかった読み込み先"));
}

std::string dlgSSPage::offlineText()
{
    return gui::fromQt(tr("保存したページを開いてもネットワークには接続しません"));
}

dlgSSPage::dlgSSPage(QWidget* parent, const std::string& location, int colourDays, int deleteDays,
                     const std::string& name, bool autoDelete, bool keepScripts)
    : dlgModelessDialog(1020, utlTexts::sjis(utlText::helpTakeSnapshot), parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("スナップショットの名前(&S)"), this);
    name_ = new QLineEdit(gui::toQt(name), this);
    name_->setObjectName(QStringLiteral("name"));
    label->setBuddy(name_);
    autoDelete_ = new QCheckBox(tr("自動削除する(&K)"), this);
    autoDelete_->setObjectName(QStringLiteral("autoDelete"));
    autoDelete_->setChecked(autoDelete);
    layout->addWidget(label);
    layout->addWidget(name_);
    layout->addWidget(autoDelete_);
    layout->addWidget(new QLabel(tr("現在の設定 :"), this));
    // The location is a file system path: UTF-8, not Shift_JIS.
    layout->addWidget(
        new QLabel(gui::toQt(locationText("")) + QString::fromStdString(location), this));
    layout->addWidget(new QLabel(gui::toQt(colourText(colourDays)), this));
    layout->addWidget(new QLabel(gui::toQt(deleteText(deleteDays)), this));
    for (const std::string& line : {keptText(), droppedText(keepScripts), offlineText()}) {
        auto* label = new QLabel(gui::toQt(line), this);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    layout->addWidget(makeButtons("OK", tr("キャンセル")));
    name_->selectAll();
}

void dlgSSPage::OnOK()
{
    // The name becomes the snapshot's directory name; an empty one is asked for later.
    if (dlgNameCheck::accept(getName(),
                             dlgNameCheck::fileNameBytes(getName(), dlgNameCheck::directorySuffix)))
        dlgModelessDialog::OnOK();
}

std::string dlgSSPage::getName() const
{
    std::string text = gui::fromQt(name_->text());
    text.resize(platform::sjisBoundary(text, nameLimit));
    return text;
}

bool dlgSSPage::getAutoDelete() const
{
    return autoDelete_->isChecked();
}

void dlgSSPage::setName(const std::string& sjis)
{
    name_->setText(gui::toQt(sjis));
    name_->selectAll();
}
