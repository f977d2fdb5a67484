#pragma once

#include <string>
#include <vector>

// Live instances per class name, for finding leaks: constructors call countCreated,
// destructors countDestroyed. Safe from any thread.
void countCreated(const char* className);
void countDestroyed(const char* className);
// The same for classes made by the thousand, without the search by name: the slot of a name,
// found once (null when the table is full, which counts nothing, as above).
struct InstanceSlot;
InstanceSlot* instanceSlot(const char* className);
void countCreated(InstanceSlot* slot);
void countDestroyed(InstanceSlot* slot);
// One line "name,live,highest,lowest" per class on the diagnostic stream (stderr).
void dumpInstanceCounts();

struct InstanceCount {
    std::string name;
    int live = 0;
    int highest = 0;
    int lowest = 0;
};
std::vector<InstanceCount> instanceCounts();
