#pragma once

#include <string>
#include <vector>

// Live instances per class name, for finding leaks: constructors call countCreated,
// destructors countDestroyed. Safe from any thread.
void countCreated(const char* className);
void countDestroyed(const char* className);
// One line "name,live,highest,lowest" per class on the diagnostic stream (stderr).
void dumpInstanceCounts();

struct InstanceCount {
    std::string name;
    int live = 0;
    int highest = 0;
    int lowest = 0;
};
std::vector<InstanceCount> instanceCounts();
