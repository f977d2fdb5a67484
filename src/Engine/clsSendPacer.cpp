#include "Engine/clsSendPacer.h"

#include "Platform/Tick.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// Waits are cut into short steps so that a cancel is seen at once.
constexpr std::uint64_t cancelCheckMs = 20;
// Hosts whose last send lies this far behind are forgotten, to keep the table small.
constexpr std::size_t hostTableLimit = 4096;

} // namespace

clsSendPacer::clsSendPacer(int intervalMs, bool perHost)
    : intervalMs(intervalMs), perHost(perHost)
{
}

// Each caller books the next free slot under the lock, then waits for it outside the lock:
// requests leave in booking order, one interval apart.
std::uint64_t clsSendPacer::reserve(const std::string& host)
{
    std::lock_guard<std::mutex> guard(lock);
    std::uint64_t now = platform::tickCount();
    std::uint64_t interval = static_cast<std::uint64_t>(intervalMs);
    if (!perHost) {
        std::uint64_t slot = anySent ? std::max(now, lastSendTick + interval) : now;
        anySent = true;
        lastSendTick = slot;
        return slot;
    }
    if (lastSendByHost.size() >= hostTableLimit)
        std::erase_if(lastSendByHost, [&](const auto& entry) { return entry.second + interval <= now; });
    auto [entry, inserted] = lastSendByHost.try_emplace(host, now);
    if (!inserted)
        entry->second = std::max(now, entry->second + interval);
    return entry->second;
}

bool clsSendPacer::waitTurn(const std::string& host, const std::atomic<bool>& cancelled)
{
    if (intervalMs <= 0)
        return !cancelled.load();
    std::uint64_t slot = reserve(host);
    while (!cancelled.load()) {
        std::uint64_t now = platform::tickCount();
        if (now >= slot)
            return true;
        std::uint64_t wait = std::min(cancelCheckMs, slot - now);
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    return false;
}
