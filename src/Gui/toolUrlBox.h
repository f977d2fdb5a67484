#pragma once

#include <QComboBox>

#include <string>

// The address box of the rebar. Only Return counts: the text becomes the current text and
// addressEntered is signalled; the window puts what it went to at the top of the drop-down
// list (remember). Leaving the box does nothing.
class toolUrlBox : public QComboBox {
    Q_OBJECT
public:
    explicit toolUrlBox(QWidget* parent = nullptr);
    ~toolUrlBox() override;

    // The last address entered: ASCII, a character beyond it percent-encoded as UTF-8 (a local
    // path as the file system's bytes).
    const std::string& currentAddress() const { return current_; }
    // The same as it was typed, as program text, for a message about it.
    const std::string& currentTyped() const { return typed_; }
    // Shows an address that was gone to and puts it at the top of the list, once.
    void remember(const std::string& address);
    // Shows the address of what is selected, unless the user is typing in the box.
    void showAddress(const std::string& address);

signals:
    void addressEntered();
    void focusEntered();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onReturnPressed();
    std::string current_;
    std::string typed_;
};
