#pragma once

#include "Platform/MessageTarget.h"

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

// The engine's hidden window in the GUI: post() may come from any thread; the messages are
// handled on the thread that owns this object (the UI thread), in order, from its event loop.
// A batch stops after a few milliseconds and the rest waits for the next turn of the loop, so
// a flood of notifications never freezes the window.
class wndMessageTarget : public QObject, public platform::MessageTarget {
    Q_OBJECT
public:
    explicit wndMessageTarget(QObject* parent = nullptr);
    ~wndMessageTarget() override;

    bool post(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) override;
    // Releases what a message still waiting carries when it is never handled.
    void setDiscarder(std::function<void(const platform::Message&)> discarder);
    // Longest time one batch may take before the loop gets its turn.
    void setBatchBudgetMs(int ms) { batchBudgetMs_ = ms; }
    std::size_t pending() const;
    // Drops every waiting message through the discarder (shut-down).
    void discardAll();

private:
    void drain();

    mutable std::mutex mutex_;
    std::deque<platform::Message> queue_;
    bool drainPosted_ = false;
    int batchBudgetMs_ = 8;
    std::function<void(const platform::Message&)> discarder_;
};
