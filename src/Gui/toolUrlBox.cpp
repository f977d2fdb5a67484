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
    // What to do here, for a first start with nothing in the tree.
    lineEdit()->setPlaceholderText(tr("アドレスを入力して Enter"));
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
    typed_ = gui::fromQt(text);
    Q_EMIT addressEntered();
}

void toolUrlBox::remember(const std::string& address)
{
    QString text = gui::addressToQt(address);
    int old = findText(text);
    if (old >= 0)
        removeItem(old);
    insertItem(0, text);
    setCurrentIndex(0);
}

void toolUrlBox::showAddress(const std::string& address)
{
    if (lineEdit()->hasFocus() && lineEdit()->isModified())
        return;
    setEditText(gui::addressToQt(address));
    lineEdit()->setModified(false);
}

bool toolUrlBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit() && event->type() == QEvent::FocusIn)
        Q_EMIT focusEntered();
    return QComboBox::eventFilter(watched, event);
}
