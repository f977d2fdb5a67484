#include "Gui/wndMessageTarget.h"

#include "Platform/Tick.h"

#include <QMetaObject>

wndMessageTarget::wndMessageTarget(QObject* parent) : QObject(parent) {}

wndMessageTarget::~wndMessageTarget()
{
    discardAll();
}

bool wndMessageTarget::post(unsigned id, std::uintptr_t wParam, std::intptr_t lParam)
{
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(platform::Message{id, wParam, lParam});
        wake = !drainPosted_;
        drainPosted_ = true;
    }
    // One queued call per batch rather than per message keeps the event queue short.
    if (wake)
        QMetaObject::invokeMethod(
            this, [this] { drain(); }, Qt::QueuedConnection);
    return true;
}

void wndMessageTarget::setDiscarder(std::function<void(const platform::Message&)> discarder)
{
    std::lock_guard lock(mutex_);
    discarder_ = std::move(discarder);
}

std::size_t wndMessageTarget::pending() const
{
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void wndMessageTarget::discardAll()
{
    std::deque<platform::Message> rest;
    std::function<void(const platform::Message&)> discarder;
    {
        std::lock_guard lock(mutex_);
        rest.swap(queue_);
        discarder = discarder_;
    }
    if (!discarder)
        return;
    for (const platform::Message& message : rest)
        discarder(message);
}

void wndMessageTarget::drain()
{
    std::uint64_t start = platform::tickCount();
    for (;;) {
        platform::Message message;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                drainPosted_ = false;
                return;
            }
            message = queue_.front();
            queue_.pop_front();
        }
        deliver(message);
        if (platform::tickCount() - start >= static_cast<std::uint64_t>(batchBudgetMs_))
            break;
    }
    QMetaObject::invokeMethod(
        this, [this] { drain(); }, Qt::QueuedConnection);
}
