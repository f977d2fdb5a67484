#include "Common/utlInstanceCounter.h"

#include <cstdio>
#include <string>
#include <mutex>

namespace {

constexpr std::size_t kSlots = 100;

struct Slot {
    std::string name; // a copy: callers may pass a name that does not outlive the call
    int live = 0;
    int highest = 0;
    int lowest = 0;
};

struct Table {
    std::mutex mutex;
    Slot slots[kSlots];
};

// The UI, engine and worker threads all construct counted objects, so the table is locked.
Table& table()
{
    static Table instance;
    return instance;
}

Slot* findSlot(Table& t, const char* name)
{
    for (Slot& slot : t.slots) {
        if (slot.name.empty()) {
            slot.name = name;
            return &slot;
        }
        if (slot.name == name)
            return &slot;
    }
    return nullptr;
}

} // namespace

void countCreated(const char* className)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Slot* slot = findSlot(t, className);
    if (!slot)
        return;
    ++slot->live;
    if (slot->live > slot->highest)
        slot->highest = slot->live;
}

void countDestroyed(const char* className)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Slot* slot = findSlot(t, className);
    if (!slot)
        return;
    --slot->live;
    if (slot->live < slot->lowest)
        slot->lowest = slot->live;
}

std::vector<InstanceCount> instanceCounts()
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    std::vector<InstanceCount> counts;
    for (const Slot& slot : t.slots) {
        if (slot.name.empty())
            break;
        counts.push_back(InstanceCount{slot.name, slot.live, slot.highest, slot.lowest});
    }
    return counts;
}

void dumpInstanceCounts()
{
    for (const InstanceCount& count : instanceCounts())
        std::fprintf(stderr, "%s,%d,%d,%d\n", count.name.c_str(), count.live, count.highest, count.lowest);
}
