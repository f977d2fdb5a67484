#include "Engine/Text/utlStatusText.h"

#include <mutex>

namespace {

// Registration and writing happen on the UI thread, but the lock keeps a late writer from
// reaching a status bar that is being unregistered.
std::mutex& statusMutex()
{
    static std::mutex mutex;
    return mutex;
}

utlStatusBarSink*& registeredBar()
{
    static utlStatusBarSink* bar = nullptr;
    return bar;
}

} // namespace

void setStatusBar(utlStatusBarSink* bar)
{
    std::lock_guard lock(statusMutex());
    registeredBar() = bar;
}

void clearStatusBar()
{
    setStatusBar(nullptr);
}

void setStatusText(const std::string& text, int pane)
{
    std::lock_guard lock(statusMutex());
    if (utlStatusBarSink* bar = registeredBar())
        bar->showStatusText(text, pane);
}
