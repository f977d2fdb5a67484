#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace platform {

// A window message: what the engine's threads post to the user-interface thread.
struct Message {
    unsigned id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

using MessageHandler = std::function<void(const Message&)>;

// Stands in for the engine's hidden window. post() may be called from any thread; the
// handler always runs later on the receiving thread (the Qt event loop, or whoever pumps
// a QueueMessageTarget), never inside post().
class MessageTarget {
public:
    virtual ~MessageTarget();
    [[nodiscard]] virtual bool post(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Posts messages in order; returns how many went (the first that fails ends the run).
    // A queue may take them at once, so that the receiver wakes once for all.
    virtual std::size_t postAll(const Message* messages, std::size_t count);

    // Set on the receiving thread before messages flow.
    void setHandler(MessageHandler handler);

protected:
    void deliver(const Message& message);

private:
    std::mutex handlerMutex_;
    MessageHandler handler_;
};

// The command-line front end's target: messages wait in a queue until pump() runs them.
class QueueMessageTarget : public MessageTarget {
public:
    [[nodiscard]] bool post(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) override;
    std::size_t postAll(const Message* messages, std::size_t count) override;

    // Handles every queued message on the calling thread, waiting up to timeoutMs for the
    // first when none is queued. Returns how many were handled.
    std::size_t pump(int timeoutMs);
    std::size_t pending() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Message> queue_;
};

} // namespace platform
