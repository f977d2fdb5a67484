#include "Gui/wndHtmlView.h"

#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Analysis/clsHtmlItem.h"
#include "QtBridge/guiText.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

wndHtmlView::wndHtmlView(QWidget* parent) : QWidget(parent)
{
    edit_ = new QPlainTextEdit(this);
    edit_->setReadOnly(true);
    edit_->setContextMenuPolicy(Qt::NoContextMenu);
    edit_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    edit_->installEventFilter(this);
    headerSwitch_ = new QCheckBox(tr("HTTP ヘッダを表示"), this);
    headerSwitch_->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(edit_);
    layout->addWidget(headerSwitch_);
    connect(headerSwitch_, &QCheckBox::toggled, this, [this] { showText(header_, body_); });
    setFocusProxy(edit_);
}

wndHtmlView::~wndHtmlView() = default;

void wndHtmlView::fillFrom(clsQuillaraItem* node)
{
    header_.clear();
    body_.clear();
    if (node != nullptr) {
        node->makeDisplayText(body_);
        if (auto* page = dynamic_cast<clsHtmlItem*>(node))
            page->makeHeaderText(header_);
    }
    showText(header_, body_);
}

void wndHtmlView::fillFailed(clsQuillaraItem* node, const std::string& status)
{
    fillFrom(node);
    body_ = gui::fromQt(tr("このページは読み込めませんでした。\r\n")) + status;
    showText(header_, body_);
}

void wndHtmlView::showText(const std::string& header, const std::string& body)
{
    QString text = gui::toQt(body);
    if (headerSwitch_->isChecked() && !header.empty())
        text = gui::toQt(header) + QStringLiteral("\n") + text;
    edit_->setPlainText(text);
}

QString wndHtmlView::text() const
{
    return edit_->toPlainText();
}

void wndHtmlView::setHeaderShown(bool shown)
{
    headerSwitch_->setChecked(shown);
}

bool wndHtmlView::isHeaderShown() const
{
    return headerSwitch_->isChecked();
}

bool wndHtmlView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != edit_)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn)
        Q_EMIT focusEntered();
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
        Q_EMIT cycleRequested(key->key() == Qt::Key_Backtab ||
                              (key->modifiers() & Qt::ShiftModifier) != 0);
        return true;
    }
    return false;
}
