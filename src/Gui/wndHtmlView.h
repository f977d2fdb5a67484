#pragma once

#include "Common/utlCommandTarget.h"

#include <QWidget>

#include <string>

class QCheckBox;
class QPlainTextEdit;
class clsQuillaraItem;

// The lower right pane: the plain-text rendering of the selected page, read only. The header
// switch puts the response header of the page above the text.
class wndHtmlView : public QWidget, public utlCommandTarget {
    Q_OBJECT
public:
    explicit wndHtmlView(QWidget* parent = nullptr);
    ~wndHtmlView() override;

    // The node's display text (empty without a node).
    void fillFrom(clsQuillaraItem* node);
    // A page that failed: the view says so with the status instead of the page's text.
    void fillFailed(clsQuillaraItem* node, const std::string& status);
    QString text() const;
    void setHeaderShown(bool shown);
    bool isHeaderShown() const;
    QPlainTextEdit* editor() const { return edit_; }

signals:
    void focusEntered();
    // Tab in the text: the focus moves on to the next pane (or back with Shift).
    void cycleRequested(bool backwards);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showText(const std::string& header, const std::string& body);

    QPlainTextEdit* edit_;
    QCheckBox* headerSwitch_;
    std::string header_;
    std::string body_;
};
