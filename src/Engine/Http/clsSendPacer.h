#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

// Spaces the sending of HTTP requests: one per interval in the whole program, or, per host,
// one per interval to each host. Shared by the four transports of an engine.
//
// A turn is given at the moment of release, against the time of the last release of the same
// lane (the program, or the host), so consecutive releases are at least one interval apart
// however late a waiting thread wakes. Waiters on one lane are released in the order they
// came.
class clsSendPacer {
public:
    // Milliseconds of a monotonic clock; platform::tickCount unless a test gives its own.
    using Clock = std::function<std::uint64_t()>;
    struct Release {
        std::string host;
        std::uint64_t tick = 0;
    };

    clsSendPacer(int intervalMs, bool perHost, Clock clock = {});

    // Waits for the caller's turn to send to host. Returns false, without a turn, as soon as
    // cancelled is set. A turn that tryTurn gave this thread for host is used at once.
    bool waitTurn(const std::string& host, const std::atomic<bool>& cancelled);
    // Takes host's turn if it is free now and nobody waits for it: the turn then belongs to
    // the calling thread, whose next waitTurn for host uses it without waiting. Else returns
    // false and readyAt is the earliest tick at which host may be free.
    bool tryTurn(const std::string& host, std::uint64_t& readyAt);
    // Takes host's turn and releases it at once when it is free now and no thread waits for
    // it (a transfer that is driven without a thread of its own). Else returns false and
    // readyAt is the earliest tick at which host may be free.
    bool tryRelease(const std::string& host, std::uint64_t& readyAt);
    // Nothing is sent to host before delayMs from now (a server asked for a pause).
    void holdHost(const std::string& host, std::uint64_t delayMs);

    // True when each host is paced on its own (and pacing is on): only then is it worth
    // serving the hosts that are ready before those that must wait.
    bool pacesPerHost() const;
    std::uint64_t now() const;

    // Keeps a record of every release (host and tick), for tests and benchmarks.
    void recordReleases(bool on);
    std::vector<Release> getReleases() const;

private:
    struct Lane {
        std::uint64_t nextFree = 0;
        std::map<std::uint64_t, std::string>
            waiting; // ticket -> host of each waiting thread, oldest first
    };
    struct Grant {
        std::string host;
        std::uint64_t nextFree = 0; // the lane's nextFree the grant left; changed means void
    };

    Lane& laneOf(const std::string& host);
    std::uint64_t dueOf(const std::string& host, const Lane& lane) const;
    bool isHeld(const std::string& host, std::uint64_t now) const;
    bool isFirstReady(const Lane& lane, std::uint64_t ticket, std::uint64_t now) const;
    bool useGrant(const std::string& host, std::uint64_t now);
    // The lane of host when it may send at now without waiting; else null, with readyAt set
    // to its due time, or to now + busyRetryMs when only other waiters are in the way.
    Lane* readyLane(const std::string& host, std::uint64_t now, std::uint64_t busyRetryMs,
                    std::uint64_t& readyAt);
    void release(const std::string& host, Lane& lane, std::uint64_t now);
    void forgetOldHosts(std::uint64_t now);

    std::uint64_t interval;
    bool perHost;
    Clock clock;
    mutable std::mutex lock;
    std::condition_variable released;
    std::map<std::string, Lane> lanes;
    std::map<std::string, std::uint64_t> heldUntil;
    std::map<std::thread::id, Grant> grants;
    std::uint64_t nextTicket = 0;
    bool recording = false;
    std::vector<Release> releases;
};
