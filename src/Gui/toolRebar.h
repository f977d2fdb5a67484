#pragma once

#include "Common/utlCommandTarget.h"

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <vector>

class QGridLayout;
class QLabel;
class QTimer;
class toolToolBar;
class toolUrlBox;
class utlIniInfo;

// The band across the top: the tool bar, the URL box and the busy indicator, which turns while
// the engine works and stands still when it is idle.
class toolRebar : public QWidget, public utlCommandTarget {
    Q_OBJECT
public:
    using Runner = std::function<void(int menuId)>;
    using BusyQuery = std::function<bool()>;

    toolRebar(const Runner& run, BusyQuery busy, QWidget* parent = nullptr);
    ~toolRebar() override;

    // Places the bands: First 1 puts the tool bar first, Lines above 1 puts the second band
    // on a row of its own.
    void loadSettings(const utlIniInfo& ini);
    void saveSettings(utlIniInfo& ini) const;

    toolToolBar* toolBar() const { return toolBar_; }
    toolUrlBox* urlBox() const { return urlBox_; }
    int currentFrame() const { return frame_; }
    bool isToolBarFirst() const { return first_; }
    int lines() const { return lines_; }
    // One tick of the 100 ms timer (tests call it directly).
    void onTimer();
    // The process-wide flag that a right click on the indicator toggles.
    static bool logoFlag();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeBands();

    toolToolBar* toolBar_;
    toolUrlBox* urlBox_;
    QLabel* logo_;
    QGridLayout* layout_;
    QTimer* timer_;
    std::vector<QPixmap> frames_;
    BusyQuery busy_;
    int frame_ = 0;
    int ticks_ = 0;
    bool lastBusy_ = false;
    bool first_ = true;
    int lines_ = 2;
};
