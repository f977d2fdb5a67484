#include "Gui/toolUrlBox.h"

#include "QtBridge/guiText.h"

#include <QEvent>
#include <QLineEdit>

toolUrlBox::toolUrlBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(12);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(20);
    connect(lineEdit(), &QLineEdit::returnPressed, this, &toolUrlBox::onReturnPressed);
    lineEdit()->installEventFilter(this);
}

toolUrlBox::~toolUrlBox() = default;

void toolUrlBox::onReturnPressed()
{
    QString text = currentText().trimmed();
    if (text.isEmpty())
        return;
    current_ = gui::addressFromQt(text);
    insertItem(0, text);
    setCurrentIndex(0);
    Q_EMIT addressEntered();
}

bool toolUrlBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit() && event->type() == QEvent::FocusIn)
        Q_EMIT focusEntered();
    return QComboBox::eventFilter(watched, event);
}
