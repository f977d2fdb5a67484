#pragma once

#include <QComboBox>

#include <string>

// The address box of the rebar. Only Return counts: the text becomes the current text, goes to
// the top of the drop-down list and addressEntered is signalled. Leaving the box does nothing.
class toolUrlBox : public QComboBox {
    Q_OBJECT
public:
    explicit toolUrlBox(QWidget* parent = nullptr);
    ~toolUrlBox() override;

    // The last address entered (Shift_JIS).
    const std::string& currentAddress() const { return current_; }

signals:
    void addressEntered();
    void focusEntered();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onReturnPressed();
    std::string current_;
};
