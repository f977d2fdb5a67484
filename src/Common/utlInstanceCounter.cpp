#include "Common/utlInstanceCounter.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <mutex>

namespace {

constexpr std::size_t kSlots = 100;

} // namespace

// The counts are atomic, so that counting takes no lock once a thread knows a name's slot;
// the lock guards only the naming of slots.
struct InstanceSlot {
    std::string name; // a copy: callers may pass a name that does not outlive the call
    std::atomic<int> live{0};
    std::atomic<int> highest{0};
    std::atomic<int> lowest{0};
};

namespace {

using Slot = InstanceSlot;

struct Table {
    std::mutex mutex;
    Slot slots[kSlots];
    std::size_t used = 0;
    // Name to slot, so that a count costs no walk over the slots (links are counted by the
    // hundred thousand on big pages).
    std::map<std::string, std::size_t, std::less<>> index;
};

Table& table()
{
    static Table instance;
    return instance;
}

// Under the table's lock.
Slot* findSlotLocked(Table& t, const char* name)
{
    std::string_view key(name);
    auto found = t.index.find(key);
    if (found != t.index.end())
        return &t.slots[found->second];
    if (t.used == kSlots)
        return nullptr;
    Slot& slot = t.slots[t.used];
    slot.name = key;
    t.index.emplace(slot.name, t.used++);
    return &slot;
}

// The slots of names this thread met lately, by the name's address: callers pass string
// literals, so one compare of the text confirms the slot without the lock. A slot's name is
// written once, under the lock, before any thread learns the slot.
Slot* findSlot(const char* name)
{
    struct Hint {
        const char* name = nullptr;
        Slot* slot = nullptr;
    };
    thread_local Hint hints[64];
    // Literals sit a few bytes apart: a multiplicative hash spreads them over pairs of
    // hints, and a pair keeps two names that meet there.
    std::uintptr_t key = reinterpret_cast<std::uintptr_t>(name) * 0x9E3779B97F4A7C15ULL;
    std::size_t at = key >> (8 * sizeof key - 6);
    for (std::size_t way : {at, at ^ 1}) {
        const Hint& hint = hints[way];
        if (hint.name == name && std::strcmp(hint.slot->name.c_str(), name) == 0)
            return hint.slot;
    }
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Slot* slot = findSlotLocked(t, name);
    if (slot != nullptr) {
        hints[at ^ 1] = hints[at];
        hints[at] = Hint{name, slot};
    }
    return slot;
}

// Keeps extreme at the lowest (or highest) value count has taken.
template <typename Beyond>
void widen(std::atomic<int>& extreme, int value, Beyond beyond)
{
    int seen = extreme.load(std::memory_order_relaxed);
    while (beyond(value, seen) &&
           !extreme.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
    }
}

} // namespace

InstanceSlot* instanceSlot(const char* className)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    return findSlotLocked(t, className);
}

void countCreated(InstanceSlot* slot)
{
    if (!slot)
        return;
    int live = slot->live.fetch_add(1, std::memory_order_relaxed) + 1;
    widen(slot->highest, live, [](int a, int b) { return a > b; });
}

void countDestroyed(InstanceSlot* slot)
{
    if (!slot)
        return;
    int live = slot->live.fetch_sub(1, std::memory_order_relaxed) - 1;
    widen(slot->lowest, live, [](int a, int b) { return a < b; });
}

void countCreated(const char* className)
{
    countCreated(findSlot(className));
}

void countDestroyed(const char* className)
{
    countDestroyed(findSlot(className));
}

std::vector<InstanceCount> instanceCounts()
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    std::vector<InstanceCount> counts;
    for (const Slot& slot : t.slots) {
        if (slot.name.empty())
            break;
        counts.push_back(InstanceCount{slot.name, slot.live.load(std::memory_order_relaxed),
                                       slot.highest.load(std::memory_order_relaxed),
                                       slot.lowest.load(std::memory_order_relaxed)});
    }
    return counts;
}

void dumpInstanceCounts()
{
    for (const InstanceCount& count : instanceCounts())
        std::fprintf(stderr, "%s,%d,%d,%d\n", count.name.c_str(), count.live, count.highest,
                     count.lowest);
}
