#include "Platform/MessageTarget.h"

#include <chrono>

namespace platform {

MessageTarget::~MessageTarget() = default;

void MessageTarget::setHandler(MessageHandler handler)
{
    std::lock_guard lock(handlerMutex_);
    handler_ = std::move(handler);
}

std::size_t MessageTarget::postAll(const Message* messages, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (!post(messages[i].id, messages[i].wParam, messages[i].lParam))
            return i;
    return count;
}

void MessageTarget::deliver(const Message& message)
{
    MessageHandler handler;
    {
        std::lock_guard lock(handlerMutex_);
        handler = handler_;
    }
    if (handler)
        handler(message);
}

bool QueueMessageTarget::post(unsigned id, std::uintptr_t wParam, std::intptr_t lParam)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(Message{id, wParam, lParam});
    }
    arrived_.notify_one();
    return true;
}

std::size_t QueueMessageTarget::postAll(const Message* messages, std::size_t count)
{
    if (count == 0)
        return 0;
    {
        std::lock_guard lock(mutex_);
        queue_.insert(queue_.end(), messages, messages + count);
    }
    arrived_.notify_one();
    return count;
}

std::size_t QueueMessageTarget::pump(int timeoutMs)
{
    std::deque<Message> batch;
    {
        std::unique_lock lock(mutex_);
        if (queue_.empty() && timeoutMs > 0)
            arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return !queue_.empty(); });
        batch.swap(queue_);
    }
    for (const Message& message : batch)
        deliver(message);
    return batch.size();
}

std::size_t QueueMessageTarget::pending() const
{
    std::lock_guard lock(mutex_);
    return queue_.size();
}

} // namespace platform
