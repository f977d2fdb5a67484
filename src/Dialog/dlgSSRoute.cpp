#include "Dialog/dlgSSRoute.h"

#include "QtBridge/guiText.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cstdio>

namespace {

// "フットプリントを撮る"
const char* const kTitle = "\x83\x74\x83\x62\x83\x67\x83\x76\x83\x8a\x83\x93\x83\x67\x82\xf0\x8e\x42\x82\xe9";

std::string format(const char* pattern, int days)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, pattern, days);
    return buffer;
}

} // namespace

dlgSSRoute::dlgSSRoute(const std::string& name, bool autoDelete, const std::string& location, int colorDays,
                       int deleteDays, QWidget* parent)
    : dlgModelessDialog(1022, kTitle, parent)
{
    location_ = "\x95\xdb\x91\xb6\x82\xb7\x82\xe9\x8f\xea\x8f\x8a\x20\x3a\x20" + location; // 保存する場所 :
    // 一定期間過ぎたら色を変える   %d日 / 一定期間過ぎたら削除する     %d日
    color_ = format("\x88\xea\x92\xe8\x8a\xfa\x8a\xd4\x89\xdf\x82\xac\x82\xbd\x82\xe7\x90\x46\x82\xf0\x95\xcf\x82\xa6\x82\xe9\x20\x20\x20\x25\x64\x93\xfa", colorDays);
    delete_ = format("\x88\xea\x92\xe8\x8a\xfa\x8a\xd4\x89\xdf\x82\xac\x82\xbd\x82\xe7\x8d\xed\x8f\x9c\x82\xb7\x82\xe9\x20\x20\x20\x20\x20\x25\x64\x93\xfa", deleteDays);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(gui::toQt("\x83\x74\x83\x62\x83\x67\x83\x76\x83\x8a\x83\x93\x83\x67\x82\xcc\x96\xbc\x91\x4f\x28\x26\x46\x29")); // フットプリントの名前(&F)
    name_ = new QLineEdit(gui::toQt(name));
    name_->selectAll();
    label->setBuddy(name_);
    autoDelete_ = new QCheckBox(gui::toQt("\x8e\xa9\x93\xae\x8d\xed\x8f\x9c\x82\xb7\x82\xe9\x28\x26\x4b\x29")); // 自動削除する(&K)
    autoDelete_->setChecked(autoDelete);
    layout->addWidget(label);
    layout->addWidget(name_);
    layout->addWidget(autoDelete_);
    layout->addWidget(new QLabel(gui::toQt("\x8c\xbb\x8d\xdd\x82\xcc\x90\xdd\x92\xe8\x20\x3a"))); // 現在の設定 :
    for (const std::string* line : {&location_, &color_, &delete_}) {
        layout->addWidget(new QLabel(gui::toQt(*line)));
    }
    auto* buttons = makeButtons("OK", "\x83\x4c\x83\x83\x83\x93\x83\x5a\x83\x8b"); // OK, キャンセル
    layout->addWidget(buttons);
}

std::string dlgSSRoute::name() const
{
    return gui::fromQt(name_->text());
}

bool dlgSSRoute::autoDelete() const
{
    return autoDelete_->isChecked();
}

void dlgSSRoute::setName(const std::string& sjis)
{
    name_->setText(gui::toQt(sjis));
}

void dlgSSRoute::setAutoDelete(bool on)
{
    autoDelete_->setChecked(on);
}
