#include "Engine/Http/clsSendPacer.h"

#include "Platform/Tick.h"

#include <algorithm>
#include <chrono>

namespace {

// Waits are cut into short steps so that a cancel is seen at once.
constexpr std::uint64_t cancelCheckMs = 20;
// Hosts whose last send lies an interval behind are forgotten, to keep the table small.
constexpr std::size_t hostTableLimit = 4096;
constexpr std::size_t grantTableLimit = 64;
constexpr std::uint64_t noTicket = ~std::uint64_t{0};

} // namespace

clsSendPacer::clsSendPacer(int intervalMs, bool perHost, Clock clock)
    : interval(intervalMs > 0 ? static_cast<std::uint64_t>(intervalMs) : 0), perHost(perHost),
      clock(clock ? std::move(clock) : Clock(&platform::tickCount))
{
}

bool clsSendPacer::pacesPerHost() const
{
    return perHost && interval > 0;
}

std::uint64_t clsSendPacer::now() const
{
    return clock();
}

clsSendPacer::Lane& clsSendPacer::laneOf(const std::string& host)
{
    return lanes[perHost ? host : std::string()];
}

bool clsSendPacer::isHeld(const std::string& host, std::uint64_t now) const
{
    if (heldUntil.empty())
        return false;
    auto held = heldUntil.find(host);
    return held != heldUntil.end() && held->second > now;
}

std::uint64_t clsSendPacer::dueOf(const std::string& host, const Lane& lane) const
{
    auto held = heldUntil.find(host);
    return held == heldUntil.end() ? lane.nextFree : std::max(lane.nextFree, held->second);
}

// The oldest waiter whose host is not held goes first; a held host does not block the lane
// for the others.
bool clsSendPacer::isFirstReady(const Lane& lane, std::uint64_t ticket, std::uint64_t now) const
{
    for (const auto& [waiter, host] : lane.waiting)
        if (!isHeld(host, now))
            return waiter == ticket;
    return ticket == noTicket;
}

void clsSendPacer::release(const std::string& host, Lane& lane, std::uint64_t now)
{
    lane.nextFree = now + interval;
    if (recording)
        releases.push_back(Release{host, now});
    released.notify_all();
}

// A turn given by tryTurn stands while nobody else was released on its lane since and the
// host is not held; the release itself is the moment it is used.
bool clsSendPacer::useGrant(const std::string& host, std::uint64_t now)
{
    auto found = grants.find(std::this_thread::get_id());
    if (found == grants.end())
        return false;
    Grant grant = std::move(found->second);
    grants.erase(found);
    Lane& lane = laneOf(host);
    if (grant.host != host || lane.nextFree != grant.nextFree || isHeld(host, now))
        return false;
    release(host, lane, now);
    return true;
}

void clsSendPacer::forgetOldHosts(std::uint64_t now)
{
    if (lanes.size() < hostTableLimit)
        return;
    std::erase_if(lanes, [&](const auto& entry) {
        return entry.second.waiting.empty() && entry.second.nextFree <= now;
    });
    std::erase_if(heldUntil, [&](const auto& entry) { return entry.second <= now; });
}

bool clsSendPacer::waitTurn(const std::string& host, const std::atomic<bool>& cancelled)
{
    if (interval == 0)
        return !cancelled.load();
    std::unique_lock<std::mutex> guard(lock);
    std::uint64_t now = clock();
    if (useGrant(host, now))
        return true;
    forgetOldHosts(now);
    Lane& lane = laneOf(host);
    std::uint64_t ticket = nextTicket++;
    lane.waiting.emplace(ticket, host);
    for (;;) {
        if (cancelled.load()) {
            lane.waiting.erase(ticket);
            released.notify_all();
            return false;
        }
        now = clock();
        std::uint64_t due = dueOf(host, lane);
        bool first = isFirstReady(lane, ticket, now);
        if (first && now >= due) {
            lane.waiting.erase(ticket);
            release(host, lane, now);
            return true;
        }
        // Behind another waiter the turn comes with its release, which wakes this one.
        std::uint64_t wait = now < due ? std::min(cancelCheckMs, due - now) : cancelCheckMs;
        released.wait_for(guard, std::chrono::milliseconds(wait));
    }
}

clsSendPacer::Lane* clsSendPacer::readyLane(const std::string& host, std::uint64_t now,
                                            std::uint64_t busyRetryMs, std::uint64_t& readyAt)
{
    forgetOldHosts(now);
    Lane& lane = laneOf(host);
    std::uint64_t due = dueOf(host, lane);
    if (now < due) {
        readyAt = due;
        return nullptr;
    }
    if (!isFirstReady(lane, noTicket, now)) {
        readyAt = now + busyRetryMs;
        return nullptr;
    }
    return &lane;
}

bool clsSendPacer::tryTurn(const std::string& host, std::uint64_t& readyAt)
{
    if (interval == 0)
        return true;
    std::lock_guard<std::mutex> guard(lock);
    std::uint64_t now = clock();
    Lane* lane = readyLane(host, now, interval, readyAt);
    if (lane == nullptr)
        return false;
    lane->nextFree = now + interval;
    // Turns of threads that ended unused (workers restarted by a cancel) are dropped.
    if (grants.size() >= grantTableLimit)
        std::erase_if(grants, [&](const auto& entry) { return entry.second.nextFree <= now; });
    grants[std::this_thread::get_id()] = Grant{host, lane->nextFree};
    return true;
}

bool clsSendPacer::tryRelease(const std::string& host, std::uint64_t& readyAt)
{
    if (interval == 0)
        return true;
    std::lock_guard<std::mutex> guard(lock);
    std::uint64_t now = clock();
    Lane* lane = readyLane(host, now, cancelCheckMs, readyAt);
    if (lane == nullptr)
        return false;
    release(host, *lane, now);
    return true;
}

void clsSendPacer::holdHost(const std::string& host, std::uint64_t delayMs)
{
    std::lock_guard<std::mutex> guard(lock);
    std::uint64_t& until = heldUntil[host];
    until = std::max(until, clock() + delayMs);
}

void clsSendPacer::recordReleases(bool on)
{
    std::lock_guard<std::mutex> guard(lock);
    recording = on;
}

std::vector<clsSendPacer::Release> clsSendPacer::getReleases() const
{
    std::lock_guard<std::mutex> guard(lock);
    return releases;
}
