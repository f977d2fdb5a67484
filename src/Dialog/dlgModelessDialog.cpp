#include "Dialog/dlgModelessDialog.h"

#include "Common/utlCommandRoot.h"
#include "Common/utlHelp.h"
#include "Common/utlLog.h"
#include "QtBridge/guiText.h"
#include "Platform/platformText.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>

namespace {

constexpr const char* commandFailed =
    QT_TRANSLATE_NOOP("dlgModelessDialog", "コマンド実行に失敗しました");

} // namespace

dlgModelessDialog::dlgModelessDialog(int command, const std::string& title, QWidget* parent)
    : QDialog(parent), command_(command), title_(title)
{
    setWindowTitle(gui::toQt(title));
    setModal(false);
    // F1 inside the dialog opens its own page, as its help button does.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &dlgModelessDialog::OnHelp);
}

dlgModelessDialog::~dlgModelessDialog() = default;

std::string dlgModelessDialog::sjisOf(const QString& text, std::size_t bytes)
{
    std::string sjis = gui::fromQt(text);
    sjis.resize(platform::sjisBoundary(sjis, bytes));
    return sjis;
}

std::string dlgModelessDialog::addressOf(const QString& text, std::size_t bytes)
{
    std::string address = gui::addressFromQt(text);
    if (!gui::isLocalAddress(address)) {
        address.resize(platform::sjisBoundary(address, bytes));
        return address;
    }
    // A path is cut before a UTF-8 character, never inside one.
    std::size_t cut = std::min(address.size(), bytes);
    while (cut > 0 && cut < address.size() &&
           (static_cast<unsigned char>(address[cut]) & 0xC0) == 0x80)
        --cut;
    address.resize(cut);
    return address;
}

std::string dlgModelessDialog::commentOf(const QString& text, std::size_t bytes)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return sjisOf(lines, bytes);
}

QString dlgModelessDialog::commentText(const std::string& sjis)
{
    QString text = gui::toQt(sjis);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

void dlgModelessDialog::limitBytes(QLineEdit* edit, std::size_t bytes)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, bytes](const QString& text) {
        std::string sjis = gui::fromQt(text);
        if (sjis.size() <= bytes)
            return;
        sjis.resize(platform::sjisBoundary(sjis, bytes));
        int cursor = edit->cursorPosition();
        edit->setText(gui::toQt(sjis));
        edit->setCursorPosition(std::min(cursor, static_cast<int>(edit->text().size())));
    });
}

bool dlgModelessDialog::runCommand(std::source_location caller)
{
    bool handled = false;
    answering_ = true;
    bool ok = GetUtlCommandRoot()->executeCommand(command_, false, handled);
    answering_ = false;
    if (!ok)
        return logError(gui::fromQt(tr(commandFailed)), caller);
    return true;
}

QDialogButtonBox* dlgModelessDialog::makeButtons(const QString& acceptText,
                                                 const QString& cancelText)
{
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(acceptText, QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(cancelText, QDialogButtonBox::RejectRole);
    QPushButton* help = buttons->addButton(tr("ヘルプ(&H)"), QDialogButtonBox::HelpRole);
    // Through the virtual slots, so that a dialog's own checks before OnOK apply.
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { OnCancel(); });
    connect(help, &QPushButton::clicked, this, &dlgModelessDialog::OnHelp);
    return buttons;
}

void dlgModelessDialog::OnOK()
{
    readControls();
    accepted_ = true;
    if (runCommand())
        done(QDialog::Accepted);
}

void dlgModelessDialog::OnCancel()
{
    if (closing_)
        return;
    accepted_ = false;
    closing_ = true;
    bool ok = runCommand();
    closing_ = false;
    if (ok)
        done(QDialog::Rejected);
}

void dlgModelessDialog::OnHelp()
{
    GetUtlHelp()->showTopic(title_);
}

void dlgModelessDialog::reject()
{
    OnCancel(); // Escape
}

void dlgModelessDialog::closeEvent(QCloseEvent* event)
{
    // The close box is cancel: the target hears of it and forgets the dialog.
    event->ignore();
    OnCancel();
}
