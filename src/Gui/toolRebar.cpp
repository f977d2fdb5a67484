#include "Gui/toolRebar.h"

#include "Common/utlIniInfo.h"
#include "Gui/guiIcons.h"
#include "Gui/toolToolBar.h"
#include "Gui/toolUrlBox.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int frameCount = 31;
bool logoFlagValue = false;
const char* const makerHomePage = "https://example.org/quillara/";

} // namespace

toolRebar::toolRebar(const Runner& run, BusyQuery busy, QWidget* parent)
    : QWidget(parent), busy_(std::move(busy))
{
    for (int i = 0; i < frameCount; ++i)
        frames_.push_back(guiIcons::logoFrame(i));
    toolBar_ = new toolToolBar(run, this);
    urlBox_ = new toolUrlBox(this);
    logo_ = new QLabel(this);
    logo_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    logo_->setFixedSize(24, 24);
    logo_->setAlignment(Qt::AlignCenter);
    logo_->setPixmap(frames_[0]);
    logo_->installEventFilter(this);
    layout_ = new QGridLayout(this);
    layout_->setContentsMargins(2, 1, 2, 1);
    layout_->setSpacing(4);
    placeBands();
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &toolRebar::onTimer);
    timer_->start(100);
}

toolRebar::~toolRebar() = default;

void toolRebar::placeBands()
{
    layout_->removeWidget(toolBar_);
    layout_->removeWidget(urlBox_);
    layout_->removeWidget(logo_);
    QWidget* firstBand = first_ ? static_cast<QWidget*>(toolBar_) : urlBox_;
    QWidget* secondBand = first_ ? static_cast<QWidget*>(urlBox_) : toolBar_;
    bool twoRows = lines_ > 1;
    layout_->addWidget(firstBand, 0, 0);
    layout_->addWidget(secondBand, twoRows ? 1 : 0, twoRows ? 0 : 1);
    layout_->addWidget(logo_, 0, 2, twoRows ? 2 : 1, 1, Qt::AlignRight | Qt::AlignVCenter);
    for (int c = 0; c < 3; ++c)
        layout_->setColumnStretch(c, 0);
    // The URL box takes the spare width.
    layout_->setColumnStretch(twoRows ? 0 : (first_ ? 1 : 0), 1);
}

void toolRebar::loadSettings(const utlIniInfo& ini)
{
    first_ = ini.getInt(IniKey::RebarFirst) == 1;
    lines_ = ini.getInt(IniKey::RebarLines);
    placeBands();
    int urlWidth = ini.getInt(IniKey::UrlBoxCX);
    if (urlWidth > 0)
        urlBox_->setMinimumWidth(std::min(urlWidth, 2000));
}

void toolRebar::saveSettings(utlIniInfo& ini) const
{
    ini.setInt(IniKey::ToolbarCX, toolBar_->width());
    ini.setInt(IniKey::UrlBoxCX, urlBox_->minimumWidth() > 0 ? urlBox_->minimumWidth() : 0);
    ini.setInt(IniKey::RebarFirst, first_ ? 1 : 0);
    ini.setInt(IniKey::RebarLines, lines_);
}

void toolRebar::onTimer()
{
    if (++ticks_ > 1) {
        ticks_ = 0;
        bool busy = busy_ && busy_();
        if (busy != lastBusy_) {
            lastBusy_ = busy;
            if (!busy) {
                frame_ = 0;
                logo_->setPixmap(frames_[0]);
            }
        }
    }
    if (!lastBusy_)
        return;
    frame_ = frame_ >= frameCount - 1 ? 1 : frame_ + 1;
    logo_->setPixmap(frames_[static_cast<size_t>(frame_)]);
}

bool toolRebar::logoFlag()
{
    return logoFlagValue;
}

bool toolRebar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != logo_ || event->type() != QEvent::MouseButtonPress)
        return QWidget::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton)
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(makerHomePage)));
    else if (mouse->button() == Qt::RightButton)
        logoFlagValue = !logoFlagValue;
    return true;
}
