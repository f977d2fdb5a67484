#pragma once

#include "Common/utlCommandTarget.h"
#include "Engine/Text/utlStatusText.h"

#include <QStatusBar>

#include <array>
#include <string>

class QLabel;

// The status bar: parts 0 and 1 hold plain text, part 2 its text in a colour of its own.
// It is also where the core's status texts arrive.
class toolStatusBar : public QStatusBar, public utlCommandTarget, public utlStatusBarSink {
    Q_OBJECT
public:
    explicit toolStatusBar(QWidget* parent = nullptr);
    ~toolStatusBar() override;

    void setPartText(int part, const std::string& text);
    // The same for text already converted (an address whose bytes are a path).
    void setPartText(int part, const QString& text);
    QString partText(int part) const;
    // Colour 0x00BBGGRR of part 2.
    void setPartColour(int colorRef);
    void showStatusText(const std::string& text, int pane) override;

private:
    std::array<QLabel*, 3> parts_{};
};
