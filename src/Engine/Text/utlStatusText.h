#pragma once

#include <string>

// What the status bar offers the core: the window registers one, the core writes through it.
class utlStatusBarSink {
public:
    virtual ~utlStatusBarSink() = default;
    virtual void showStatusText(const std::string& text, int pane) = 0;
};

// Pane for messages about the whole window (search results).
constexpr int statusPaneWhole = 255;

// Registers the status bar (not owned); clearStatusBar forgets it again.
void setStatusBar(utlStatusBarSink* bar);
void clearStatusBar();

// Shows text (Shift_JIS) in a pane of the registered status bar; does nothing without one.
void setStatusText(const std::string& text, int pane);
