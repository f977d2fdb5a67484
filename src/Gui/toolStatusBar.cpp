#include "Gui/toolStatusBar.h"

#include "QtBridge/guiText.h"

#include <QLabel>

toolStatusBar::toolStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setSizeGripEnabled(true);
    for (size_t i = 0; i < parts_.size(); ++i) {
        parts_[i] = new QLabel(this);
        parts_[i]->setTextInteractionFlags(Qt::NoTextInteraction);
    }
    parts_[1]->setMinimumWidth(120);
    parts_[2]->setMinimumWidth(220);
    addWidget(parts_[0], 1);
    addPermanentWidget(parts_[1]);
    addPermanentWidget(parts_[2]);
}

toolStatusBar::~toolStatusBar() = default;

void toolStatusBar::setPartText(int part, const std::string& text)
{
    setPartText(part, gui::toQt(text));
}

void toolStatusBar::setPartText(int part, const QString& text)
{
    if (part < 0 || part > 2)
        return;
    parts_[static_cast<size_t>(part)]->setText(text);
}

QString toolStatusBar::partText(int part) const
{
    if (part < 0 || part > 2)
        return {};
    return parts_[static_cast<size_t>(part)]->text();
}

void toolStatusBar::setPartColour(int colorRef)
{
    QColor colour(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
    parts_[2]->setStyleSheet(QStringLiteral("color: %1").arg(colour.name()));
}

void toolStatusBar::showStatusText(const std::string& text, int pane)
{
    setPartText(pane == statusPaneWhole ? 0 : pane, text);
}
