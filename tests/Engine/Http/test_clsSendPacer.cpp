#include "Engine/Http/clsSendPacer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// A clock the test moves by hand; the pacer reads it, and waiting threads see it move.
struct FakeClock {
    std::atomic<std::uint64_t> tick{1000};
    clsSendPacer::Clock get()
    {
        return [this] { return tick.load(); };
    }
};

struct TryStep {
    std::uint64_t at; // clock before the call
    const char* host;
    bool granted;
    std::uint64_t readyAt; // when refused
};

struct TryCase {
    const char* name;
    bool perHost;
    std::vector<TryStep> steps;
};

// tryTurn against the clock: per host each host has its own lane, program-wide one lane for
// all; a refusal says when the lane is free again. Each grant is used at once by waitTurn,
// which is the release.
TEST(clsSendPacer, GivesTurnsByLaneAndSaysWhenTheyComeAgain)
{
    const TryCase cases[] = {
        {"per host",
         true,
         {{1000, "a", true, 0},
          {1000, "b", true, 0},
          {1001, "a", false, 2000},
          {1999, "b", false, 2000},
          {2000, "a", true, 0},
          {2000, "b", true, 0},
          {2500, "c", true, 0},
          {2999, "a", false, 3000}}},
        {"program-wide",
         false,
         {{1000, "a", true, 0},
          {1000, "b", false, 2000},
          {1500, "a", false, 2000},
          {2000, "b", true, 0},
          {3500, "a", true, 0},
          {4000, "c", false, 4500}}},
    };
    for (const TryCase& c : cases) {
        FakeClock clock;
        clsSendPacer pacer(1000, c.perHost, clock.get());
        pacer.recordReleases(true);
        std::atomic<bool> cancelled{false};
        std::vector<std::uint64_t> granted;
        for (const TryStep& step : c.steps) {
            clock.tick = step.at;
            std::uint64_t readyAt = 0;
            ASSERT_EQ(pacer.tryTurn(step.host, readyAt), step.granted)
                << c.name << " at " << step.at << " " << step.host;
            if (!step.granted) {
                EXPECT_EQ(readyAt, step.readyAt) << c.name << " at " << step.at;
                continue;
            }
            ASSERT_TRUE(pacer.waitTurn(step.host, cancelled)) << c.name;
            granted.push_back(step.at);
        }
        std::vector<std::uint64_t> released;
        for (const auto& release : pacer.getReleases())
            released.push_back(release.tick);
        EXPECT_EQ(released, granted) << c.name;
    }
}

// A turn belongs to the thread that took it, and only while nobody else was released on its
// lane: another thread still waits for the interval, and once it was released the turn is
// void and its holder waits too.
TEST(clsSendPacer, TurnIsTheTakingThreadsAndVoidAfterAnotherRelease)
{
    FakeClock clock;
    clsSendPacer pacer(1000, true, clock.get());
    pacer.recordReleases(true);
    std::atomic<bool> cancelled{false};
    std::uint64_t readyAt = 0;
    ASSERT_TRUE(pacer.tryTurn("a", readyAt));
    std::atomic<bool> otherDone{false};
    std::thread other([&] {
        EXPECT_TRUE(pacer.waitTurn("a", cancelled));
        otherDone = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_FALSE(otherDone) << "another thread used the turn";
    clock.tick = 2000;
    other.join();
    std::atomic<bool> holderDone{false};
    std::thread advance([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        EXPECT_FALSE(holderDone) << "a void turn was used";
        clock.tick = 3000;
    });
    EXPECT_TRUE(pacer.waitTurn("a", cancelled));
    holderDone = true;
    advance.join();
    ASSERT_EQ(pacer.getReleases().size(), 2u);
    EXPECT_EQ(pacer.getReleases()[0].tick, 2000u);
    EXPECT_EQ(pacer.getReleases()[1].tick, 3000u);
}

// A held host waits for its hold; program-wide, its waiter does not block the others' turns.
// A cancel ends a wait at once, without a release.
TEST(clsSendPacer, HoldsAHostWithoutBlockingOthersAndCancelEndsAWait)
{
    FakeClock clock;
    clsSendPacer pacer(1000, false, clock.get());
    pacer.recordReleases(true);
    std::atomic<bool> cancelled{false};
    pacer.holdHost("slow", 5000);
    std::uint64_t readyAt = 0;
    EXPECT_FALSE(pacer.tryTurn("slow", readyAt));
    EXPECT_EQ(readyAt, 6000u);
    std::atomic<bool> slowDone{false};
    std::thread slow([&] {
        EXPECT_TRUE(pacer.waitTurn("slow", cancelled));
        slowDone = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(pacer.waitTurn("fast", cancelled)) << "the held host blocked the lane";
    EXPECT_FALSE(slowDone);
    clock.tick = 6000;
    slow.join();

    std::atomic<bool> stop{false};
    std::atomic<bool> result{true};
    std::thread waiter([&] { result = pacer.waitTurn("fast", stop); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    stop = true;
    waiter.join();
    EXPECT_FALSE(result);
    std::vector<std::string> hosts;
    for (const auto& release : pacer.getReleases())
        hosts.push_back(release.host + "@" + std::to_string(release.tick));
    EXPECT_EQ(hosts, (std::vector<std::string>{"fast@1000", "slow@6000"}));
}

// Threads that wait on one lane while the clock moves in uneven steps are released one at a
// time, at least an interval apart.
TEST(clsSendPacer, ReleasesWaitersOneIntervalApart)
{
    FakeClock clock;
    clsSendPacer pacer(300, false, clock.get());
    pacer.recordReleases(true);
    std::atomic<bool> cancelled{false};
    std::atomic<int> done{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        std::string host = "h" + std::to_string(i);
        threads.emplace_back([&pacer, &cancelled, &done, host] {
            EXPECT_TRUE(pacer.waitTurn(host, cancelled));
            ++done;
        });
    }
    for (std::uint64_t step : {100, 250, 50, 400, 299, 1, 700}) {
        clock.tick += step;
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    // Threads that came late are served as the clock goes on.
    while (done < 4) {
        clock.tick += 300;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (std::thread& thread : threads)
        thread.join();
    std::vector<clsSendPacer::Release> releases = pacer.getReleases();
    ASSERT_EQ(releases.size(), 4u);
    for (std::size_t i = 1; i < releases.size(); ++i)
        EXPECT_GE(releases[i].tick - releases[i - 1].tick, 300u) << i;
}

} // namespace
