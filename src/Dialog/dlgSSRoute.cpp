#include "Dialog/dlgSSRoute.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cstdio>

namespace {

const char* const kTitle = utlTexts::sjis(utlText::helpTakeFootprint);

std::string format(const char* pattern, int days)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, pattern, days);
    return buffer;
}

} // namespace

dlgSSRoute::dlgSSRoute(const std::string& name, bool autoDelete, const std::string& location,
                       int colorDays, int deleteDays, QWidget* parent)
    : dlgModelessDialog(1022, kTitle, parent)
{
    location_ = gui::fromQt(tr("保存する場所 : ")) + location;
    color_ = format(gui::fromQt(tr("一定期間過ぎたら色を変える   %d日")).c_str(), colorDays);
    delete_ = format(gui::fromQt(tr("一定期間過ぎたら削除する     %d日")).c_str(), deleteDays);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("フットプリントの名前(&F)"));
    name_ = new QLineEdit(gui::toQt(name));
    name_->selectAll();
    label->setBuddy(name_);
    autoDelete_ = new QCheckBox(tr("自動削除する(&K)"));
    autoDelete_->setChecked(autoDelete);
    layout->addWidget(label);
    layout->addWidget(name_);
    layout->addWidget(autoDelete_);
    layout->addWidget(new QLabel(tr("現在の設定 :")));
    for (const std::string* line : {&location_, &color_, &delete_}) {
        layout->addWidget(new QLabel(gui::toQt(*line)));
    }
    auto* buttons = makeButtons("OK", tr("キャンセル"));
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
