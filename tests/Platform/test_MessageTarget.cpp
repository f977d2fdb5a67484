#include "Platform/MessageTarget.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// Messages posted from several threads all arrive, each thread's in its own order, and the
// handler runs on the pumping thread only.
TEST(QueueMessageTarget, DeliversEveryMessageOnThePumpingThread)
{
    platform::QueueMessageTarget target;
    std::vector<platform::Message> received;
    std::thread::id pumping = std::this_thread::get_id();
    bool wrongThread = false;
    target.setHandler([&](const platform::Message& m) {
        wrongThread = wrongThread || std::this_thread::get_id() != pumping;
        received.push_back(m);
    });
    constexpr int threads = 4;
    constexpr int perThread = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t)
        posters.emplace_back([&target, t] {
            for (int i = 0; i < perThread; ++i)
                target.post(3026, static_cast<std::uintptr_t>(t), i);
        });
    for (auto& p : posters)
        p.join();
    while (target.pump(0) > 0) {
    }
    EXPECT_FALSE(wrongThread);
    ASSERT_EQ(received.size(), static_cast<size_t>(threads * perThread));
    std::vector<std::intptr_t> next(threads, 0);
    for (const auto& m : received)
        EXPECT_EQ(m.lParam, next[m.wParam]++);
}

} // namespace
