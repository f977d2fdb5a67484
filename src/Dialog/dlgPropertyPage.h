#pragma once

#include "Common/utlIniInfo.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class dlgPrefValues;

// One page of the preference sheet. A page binds its controls to settings; init fills them
// from the sheet's values, apply takes them back, setDefaultPref puts the settings' defaults
// in, test refuses what must not be stored.
class dlgPropertyPage : public QWidget {
    Q_OBJECT
public:
    enum class Kind { check, radios, comboIndex, comboText, comboNumber, text, path, days, colour };
    struct Binding {
        IniKey key;
        Kind kind;
        QWidget* widget;     // the control (a QButtonGroup's first button for radios)
        QButtonGroup* group; // radios only: button ids are the values
    };
    using Notifier = std::function<void(const std::string& text, const std::string& title)>;

    // title is the page's tab, helpTitle the help page's title (Shift_JIS).
    dlgPropertyPage(dlgPrefValues& values, const std::string& title, const std::string& helpTitle,
                    QWidget* parent = nullptr);
    ~dlgPropertyPage() override;

    virtual void init();
    virtual void apply();
    virtual void setDefaultPref();
    // False when a value is refused; the user has been told and the control shows the old value.
    virtual bool test();

    const std::string& title() const { return title_; }
    const std::string& helpTitle() const { return helpTitle_; }
    const std::vector<Binding>& bindings() const { return bindings_; }
    // How a refusal is told (a message box unless a test sets its own).
    static void setNotifier(Notifier notifier);
    static void notify(const std::string& text, const std::string& title);

    // A colour swatch button: its colour 0x00BBGGRR, and a click opens the colour chooser.
    static QPushButton* makeColourButton(const QString& label);
    static int colourOf(const QPushButton* button);
    static void setColour(QPushButton* button, int colorRef);

protected:
    void bindCheck(IniKey key, QCheckBox* box);
    void bindRadios(IniKey key, QButtonGroup* group);
    void bindComboIndex(IniKey key, QComboBox* combo);
    void bindComboText(IniKey key, QComboBox* combo);
    void bindComboNumber(IniKey key, QComboBox* combo);
    void bindText(IniKey key, QLineEdit* edit);
    // A file path or a command line: the file system's bytes, shown as they are.
    void bindPath(IniKey key, QLineEdit* edit);
    void bindDays(IniKey key, QLineEdit* edit);
    void bindColour(IniKey key, QPushButton* button);

    dlgPrefValues& values_;

private:
    void bind(IniKey key, Kind kind, QWidget* widget, QButtonGroup* group = nullptr);
    std::string title_;
    std::string helpTitle_;
    std::vector<Binding> bindings_;
};
