#include "Dialog/dlgSSPage.h"

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

QString sjis(const char* text)
{
    return gui::toQt(text);
}

} // namespace

std::string dlgSSPage::locationText(const std::string& location)
{
    // 保存する場所 :
    return "\x95\xDB\x91\xB6\x82\xB7\x82\xE9\x8F\xEA\x8F\x8A : " + location;
}

std::string dlgSSPage::colourText(int days)
{
    char text[128];
    // 一定期間過ぎたら色を変える   %d日
    std::snprintf(text, sizeof text,
                  "\x88\xEA\x92\xE8\x8A\xFA\x8A\xD4\x89\xDF\x82\xAC\x82\xBD\x82\xE7\x90\x46\x82\xF0\x95\xCF\x82\xA6\x82\xE9   %d\x93\xFA",
                  days);
    return text;
}

std::string dlgSSPage::deleteText(int days)
{
    char text[128];
    // 一定期間過ぎたら削除する     %d日
    std::snprintf(text, sizeof text,
                  "\x88\xEA\x92\xE8\x8A\xFA\x8A\xD4\x89\xDF\x82\xAC\x82\xBD\x82\xE7\x8D\xED\x8F\x9C\x82\xB7\x82\xE9     %d\x93\xFA",
                  days);
    return text;
}

std::string dlgSSPage::keptText()
{
    // 保存するもの : ページ、フレーム、画像、スタイルシート、背景、アイコン、動画と音声
    return "\x95\xDB\x91\xB6\x82\xB7\x82\xE9\x82\xE0\x82\xCC : \x83y\x81\x5B\x83W\x81" "A\x83t\x83\x8C\x81\x5B\x83\x80\x81"
           "A\x89\xE6\x91\x9C\x81" "A\x83X\x83\x5E\x83" "C\x83\x8B\x83V\x81\x5B\x83g\x81" "A\x94w\x8Ci\x81" "A\x83" "A\x83"
           "C\x83R\x83\x93\x81" "A\x93\xAE\x89\xE6\x82\xC6\x89\xB9\x90\xBA";
}

std::string dlgSSPage::droppedText(bool keepScripts)
{
    if (keepScripts) {
        // 保存しないもの : プラグイン、保存できなかった読み込み先 (スクリプトは残します)
        return "\x95\xDB\x91\xB6\x82\xB5\x82\xC8\x82\xA2\x82\xE0\x82\xCC : \x83v\x83\x89\x83O\x83" "C\x83\x93\x81"
               "A\x95\xDB\x91\xB6\x82\xC5\x82\xAB\x82\xC8\x82\xA9\x82\xC1\x82\xBD\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x90\xE6 "
               "(\x83X\x83N\x83\x8A\x83v\x83g\x82\xCD\x8E" "c\x82\xB5\x82\xDC\x82\xB7)";
    }
    // 保存しないもの : スクリプト、プラグイン、保存できなかった読み込み先
    return "\x95\xDB\x91\xB6\x82\xB5\x82\xC8\x82\xA2\x82\xE0\x82\xCC : \x83X\x83N\x83\x8A\x83v\x83g\x81"
           "A\x83v\x83\x89\x83O\x83" "C\x83\x93\x81" "A\x95\xDB\x91\xB6\x82\xC5\x82\xAB\x82\xC8\x82\xA9\x82\xC1\x82\xBD"
           "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x90\xE6";
}

std::string dlgSSPage::offlineText()
{
    // 保存したページを開いてもネットワークには接続しません
    return "\x95\xDB\x91\xB6\x82\xB5\x82\xBD\x83y\x81\x5B\x83W\x82\xF0\x8AJ\x82\xA2\x82\xC4\x82\xE0\x83l\x83" "b"
           "\x83g\x83\x8F\x81\x5B\x83N\x82\xC9\x82\xCD\x90\xDA\x91\xB1\x82\xB5\x82\xDC\x82\xB9\x82\xF1";
}

dlgSSPage::dlgSSPage(QWidget* parent, const std::string& location, int colourDays, int deleteDays,
                     const std::string& name, bool autoDelete, bool keepScripts)
    : dlgModelessDialog(1020, "\x83X\x83i\x83" "b\x83v\x83V\x83\x87\x83" "b\x83g\x82\xF0\x8E" "B\x82\xE9", parent) // スナップショットを撮る
{
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(sjis("\x83X\x83i\x83" "b\x83v\x83V\x83\x87\x83" "b\x83g\x82\xCC\x96\xBC\x91O(&S)"), this); // スナップショットの名前(&S)
    name_ = new QLineEdit(gui::toQt(name), this);
    name_->setObjectName(QStringLiteral("name"));
    label->setBuddy(name_);
    autoDelete_ = new QCheckBox(sjis("\x8E\xA9\x93\xAE\x8D\xED\x8F\x9C\x82\xB7\x82\xE9(&K)"), this); // 自動削除する(&K)
    autoDelete_->setObjectName(QStringLiteral("autoDelete"));
    autoDelete_->setChecked(autoDelete);
    layout->addWidget(label);
    layout->addWidget(name_);
    layout->addWidget(autoDelete_);
    layout->addWidget(new QLabel(sjis("\x8C\xBB\x8D\xDD\x82\xCC\x90\xDD\x92\xE8 :"), this)); // 現在の設定 :
    // The location is a file system path: UTF-8, not Shift_JIS.
    layout->addWidget(new QLabel(gui::toQt(locationText("")) + QString::fromStdString(location), this));
    layout->addWidget(new QLabel(gui::toQt(colourText(colourDays)), this));
    layout->addWidget(new QLabel(gui::toQt(deleteText(deleteDays)), this));
    for (const std::string& line : {keptText(), droppedText(keepScripts), offlineText()}) {
        auto* label = new QLabel(gui::toQt(line), this);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    layout->addWidget(makeButtons("OK", "\x83L\x83\x83\x83\x93\x83Z\x83\x8B")); // OK, キャンセル
    name_->selectAll();
}

void dlgSSPage::OnOK()
{
    // The name becomes the snapshot's directory name; an empty one is asked for later.
    if (dlgNameCheck::accept(getName(), dlgNameCheck::fileNameBytes(getName(), dlgNameCheck::directorySuffix)))
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
