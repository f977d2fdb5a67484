#include "Common/utlInstanceCounter.h"

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

struct Slot {
    std::string name; // a copy: callers may pass a name that does not outlive the call
    int live = 0;
    int highest = 0;
    int lowest = 0;
};

struct Table {
    std::mutex mutex;
    Slot slots[kSlots];
    std::size_t used = 0;
    // Name to slot, so that a count costs no walk over the slots (links are counted by the
    // hundred thousand on big pages).
    std::map<std::string, std::size_t, std::less<>> index;
    // The slots of names met lately, by the name's address: callers pass string literals,
    // so one compare of the text confirms the slot without a search.
    struct Hint {
        const char* name = nullptr;
        std::size_t slot = 0;
    };
    Hint hints[16];
};

// The UI, engine and worker threads all construct counted objects, so the table is locked.
Table& table()
{
    static Table instance;
    return instance;
}

Slot* findSlot(Table& t, const char* name)
{
    Table::Hint& hint = t.hints[(reinterpret_cast<std::uintptr_t>(name) >> 3) % std::size(t.hints)];
    if (hint.name == name && std::strcmp(t.slots[hint.slot].name.c_str(), name) == 0)
        return &t.slots[hint.slot];
    std::string_view key(name);
    auto found = t.index.find(key);
    if (found != t.index.end()) {
        hint = Table::Hint{name, found->second};
        return &t.slots[found->second];
    }
    if (t.used == kSlots)
        return nullptr;
    Slot& slot = t.slots[t.used];
    slot.name = key;
    hint = Table::Hint{name, t.used};
    t.index.emplace(slot.name, t.used++);
    return &slot;
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
