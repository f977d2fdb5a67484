#include "Dialog/dlgPropertyPage.h"

#include "Common/utlLog.h"
#include "Dialog/dlgPrefValues.h"
#include "QtBridge/guiText.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

dlgPropertyPage::Notifier& notifier()
{
    static dlgPropertyPage::Notifier current;
    return current;
}

// A day count as typed; -1 for anything that is not a whole number.
int parseDays(const QString& text)
{
    bool ok = false;
    int value = text.trimmed().toInt(&ok);
    return ok ? value : -1;
}

} // namespace

dlgPropertyPage::dlgPropertyPage(dlgPrefValues& values, const std::string& title,
                                 const std::string& helpTitle, QWidget* parent)
    : QWidget(parent), values_(values), title_(title), helpTitle_(helpTitle)
{
}

dlgPropertyPage::~dlgPropertyPage() = default;

void dlgPropertyPage::setNotifier(Notifier n)
{
    notifier() = std::move(n);
}

void dlgPropertyPage::notify(const std::string& text, const std::string& title)
{
    if (notifier()) {
        notifier()(text, title);
        return;
    }
    QMessageBox::warning(nullptr, gui::toQt(title), gui::toQt(text));
}

void dlgPropertyPage::bind(IniKey key, Kind kind, QWidget* widget, QButtonGroup* group)
{
    bindings_.push_back(Binding{key, kind, widget, group});
    values_.edits(key);
}

void dlgPropertyPage::bindCheck(IniKey key, QCheckBox* box)
{
    bind(key, Kind::check, box);
}
void dlgPropertyPage::bindRadios(IniKey key, QButtonGroup* group)
{
    bind(key, Kind::radios, group->buttons().value(0), group);
}
void dlgPropertyPage::bindComboIndex(IniKey key, QComboBox* combo)
{
    bind(key, Kind::comboIndex, combo);
}
void dlgPropertyPage::bindComboText(IniKey key, QComboBox* combo)
{
    bind(key, Kind::comboText, combo);
}
void dlgPropertyPage::bindComboNumber(IniKey key, QComboBox* combo)
{
    bind(key, Kind::comboNumber, combo);
}
void dlgPropertyPage::bindText(IniKey key, QLineEdit* edit)
{
    bind(key, Kind::text, edit);
}
void dlgPropertyPage::bindPath(IniKey key, QLineEdit* edit)
{
    bind(key, Kind::path, edit);
}
void dlgPropertyPage::bindDays(IniKey key, QLineEdit* edit)
{
    bind(key, Kind::days, edit);
}
void dlgPropertyPage::bindColour(IniKey key, QPushButton* button)
{
    bind(key, Kind::colour, button);
}

void dlgPropertyPage::init()
{
    for (const Binding& b : bindings_) {
        int number = values_.getInt(b.key);
        switch (b.kind) {
        case Kind::check: static_cast<QCheckBox*>(b.widget)->setChecked(number != 0); break;
        case Kind::radios:
            if (QAbstractButton* button = b.group->button(number))
                button->setChecked(true);
            break;
        case Kind::comboIndex: static_cast<QComboBox*>(b.widget)->setCurrentIndex(number); break;
        case Kind::comboText:
            static_cast<QComboBox*>(b.widget)->setCurrentText(gui::toQt(values_.getString(b.key)));
            break;
        case Kind::comboNumber:
            static_cast<QComboBox*>(b.widget)->setCurrentText(QString::number(number));
            break;
        case Kind::text:
            static_cast<QLineEdit*>(b.widget)->setText(gui::toQt(values_.getString(b.key)));
            break;
        case Kind::path:
            static_cast<QLineEdit*>(b.widget)->setText(gui::pathToQt(values_.getString(b.key)));
            break;
        case Kind::days: static_cast<QLineEdit*>(b.widget)->setText(QString::number(number)); break;
        case Kind::colour: setColour(static_cast<QPushButton*>(b.widget), number); break;
        }
    }
}

void dlgPropertyPage::apply()
{
    for (const Binding& b : bindings_) {
        switch (b.kind) {
        case Kind::check:
            values_.setInt(b.key, static_cast<QCheckBox*>(b.widget)->isChecked() ? 1 : 0);
            break;
        case Kind::radios:
            if (b.group->checkedId() >= 0)
                values_.setInt(b.key, b.group->checkedId());
            break;
        case Kind::comboIndex:
            if (static_cast<QComboBox*>(b.widget)->currentIndex() >= 0)
                values_.setInt(b.key, static_cast<QComboBox*>(b.widget)->currentIndex());
            break;
        case Kind::comboText:
            values_.setString(b.key, gui::fromQt(static_cast<QComboBox*>(b.widget)->currentText()));
            break;
        case Kind::comboNumber: {
            int value = parseDays(static_cast<QComboBox*>(b.widget)->currentText());
            if (value > 0)
                values_.setInt(b.key, value);
            break;
        }
        case Kind::text:
            values_.setString(b.key, gui::fromQt(static_cast<QLineEdit*>(b.widget)->text()));
            break;
        case Kind::path:
            values_.setString(b.key, gui::pathFromQt(static_cast<QLineEdit*>(b.widget)->text()));
            break;
        case Kind::days: {
            // A refused count never reaches the values: the old one stays.
            int value = parseDays(static_cast<QLineEdit*>(b.widget)->text());
            if (value >= 1)
                values_.setInt(b.key, value);
            break;
        }
        case Kind::colour:
            values_.setInt(b.key, colourOf(static_cast<QPushButton*>(b.widget)));
            break;
        }
    }
}

void dlgPropertyPage::setDefaultPref()
{
    for (const Binding& b : bindings_) {
        const IniKeyInfo& info = utlIniInfo::info(b.key);
        if (info.isText)
            values_.setString(b.key, info.textDefault);
        else
            values_.setInt(b.key, info.intDefault);
    }
    init();
}

bool dlgPropertyPage::test()
{
    for (const Binding& b : bindings_) {
        if (b.kind != Kind::days)
            continue;
        auto* edit = static_cast<QLineEdit*>(b.widget);
        if (parseDays(edit->text()) >= 1)
            continue;
        // A count of 0 or none would delete every footprint or snapshot at the next save.
        notify(gui::fromQt(tr("日数には1以上の数を入力して下さい。")), gui::fromQt(tr("注意")));
        edit->setText(QString::number(values_.getInt(b.key)));
        edit->setFocus();
        return false;
    }
    return true;
}

QPushButton* dlgPropertyPage::makeColourButton(const QString& label)
{
    auto* button = new QPushButton(label);
    QObject::connect(button, &QPushButton::clicked, button, [button] {
        int value = colourOf(button);
        QColor chosen = QColorDialog::getColor(
            QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF), button);
        if (chosen.isValid())
            setColour(button, chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16));
    });
    return button;
}

int dlgPropertyPage::colourOf(const QPushButton* button)
{
    return button->property("colorRef").toInt();
}

void dlgPropertyPage::setColour(QPushButton* button, int colorRef)
{
    button->setProperty("colorRef", colorRef);
    QColor colour(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
    // The swatch is drawn beside the label, in the chosen colour.
    QPixmap swatch(24, 14);
    swatch.fill(colour);
    button->setIcon(QIcon(swatch));
}
