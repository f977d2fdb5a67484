#pragma once

#include <QDialog>

#include <source_location>
#include <string>

class QDialogButtonBox;
class QLineEdit;
class QPlainTextEdit;

// What the item and search dialogs share: they only collect input. Confirming or cancelling
// stores the input, sets accepted and executes the dialog's command through the command root;
// the command's target reads the input and does the work. The close box acts as cancel.
class dlgModelessDialog : public QDialog {
    Q_OBJECT
public:
    dlgModelessDialog(int command, const std::string& title, QWidget* parent = nullptr);
    ~dlgModelessDialog() override;

    bool isAccepted() const { return accepted_; }
    int command() const { return command_; }
    // The window title (Shift_JIS); it also names the help page.
    const std::string& title() const { return title_; }
    // True while confirming or cancelling runs the dialog's command: the command's owner then
    // reads the answer instead of opening the dialog.
    bool isAnswering() const { return answering_; }

    // Cuts the text of an edit to at most bytes of Shift_JIS while the user types.
    static void limitBytes(QLineEdit* edit, std::size_t bytes);
    // The text of an edit as Shift_JIS, cut to at most bytes on a character boundary.
    static std::string sjisOf(const QString& text, std::size_t bytes);
    // An address as typed: program text, or the file system's bytes for a local file.
    static std::string addressOf(const QString& text, std::size_t bytes);
    // A multi-line text as the cabinet keeps it (lines joined by CR LF, Shift_JIS), and back.
    static std::string commentOf(const QString& text, std::size_t bytes);
    static QString commentText(const std::string& sjis);

public Q_SLOTS:
    virtual void OnOK();
    virtual void OnCancel();
    void OnHelp();

protected:
    // Executes the command; a failure is logged under the calling function and the dialog stays.
    bool runCommand(std::source_location caller = std::source_location::current());
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    // Reads the controls into the fields.
    virtual void readControls() {}
    // The confirm button (acceptText, the default), cancel and "ヘルプ(&H)", answering through
    // OnOK, OnCancel and OnHelp. Texts in Shift_JIS.
    QDialogButtonBox* makeButtons(const QString& acceptText, const QString& cancelText);
    bool accepted_ = false;

private:
    int command_;
    std::string title_;
    bool closing_ = false;
    bool answering_ = false;
};
