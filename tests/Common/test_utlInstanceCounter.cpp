#include "Common/utlInstanceCounter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

const InstanceCount* find(const std::vector<InstanceCount>& counts, const std::string& name)
{
    for (const InstanceCount& count : counts)
        if (count.name == name)
            return &count;
    return nullptr;
}

// The UI, engine and worker threads count at once; no update may be lost.
TEST(InstanceCounter, CountsFromManyThreadsWithoutLosingUpdates)
{
    constexpr int threads = 8;
    constexpr int rounds = 20000;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([] {
            for (int i = 0; i < rounds; ++i) {
                countCreated("clsThreaded");
                countDestroyed("clsThreaded");
            }
            countCreated("clsThreaded");
        });
    for (auto& w : workers)
        w.join();
    auto counts = instanceCounts();
    const InstanceCount* c = find(counts, "clsThreaded");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->live, threads);
    EXPECT_EQ(c->highest, threads);
    EXPECT_EQ(c->lowest, 0);
}

// A name is its text, not its address: one buffer that holds different names in turn counts
// each of them on its own.
TEST(InstanceCounter, CountsByTextWhereverTheNameLives)
{
    char buffer[32];
    for (const char* name : {"clsReusedA", "clsReusedB", "clsReusedA", "clsReusedA"}) {
        std::snprintf(buffer, sizeof buffer, "%s", name);
        countCreated(buffer);
    }
    countDestroyed(std::string("clsReusedB").c_str());
    auto counts = instanceCounts();
    ASSERT_NE(find(counts, "clsReusedA"), nullptr);
    ASSERT_NE(find(counts, "clsReusedB"), nullptr);
    EXPECT_EQ(find(counts, "clsReusedA")->live, 3);
    EXPECT_EQ(find(counts, "clsReusedB")->live, 0);
    EXPECT_EQ(find(counts, "clsReusedB")->highest, 1);
}

// A slot found once counts with the name's own counts; a null slot (a full table) counts
// nothing.
TEST(InstanceCounter, SlotFoundOnceSharesTheNamesCounts)
{
    InstanceSlot* slot = instanceSlot("clsBySlot");
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(instanceSlot("clsBySlot"), slot);
    countCreated(slot);
    countCreated("clsBySlot");
    for (int i = 0; i < 3; ++i)
        countDestroyed(slot);
    countCreated(static_cast<InstanceSlot*>(nullptr));
    countDestroyed(static_cast<InstanceSlot*>(nullptr));
    auto counts = instanceCounts();
    const InstanceCount* c = find(counts, "clsBySlot");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->live, -1);
    EXPECT_EQ(c->highest, 2);
    EXPECT_EQ(c->lowest, -1);
}

TEST(InstanceCounter, KeepsAHundredNamesAndDumpsThem)
{
    countDestroyed("clsDestroyedFirst");
    static std::vector<std::string> names;
    for (int i = 0; i < 150; ++i)
        names.push_back("clsName" + std::to_string(i));
    for (const std::string& name : names)
        countCreated(name.c_str());
    auto counts = instanceCounts();
    EXPECT_EQ(counts.size(), 100u);
    EXPECT_EQ(find(counts, "clsName149"), nullptr);
    const InstanceCount* first = find(counts, "clsDestroyedFirst");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->live, -1);
    EXPECT_EQ(first->lowest, -1);

    testing::internal::CaptureStderr();
    dumpInstanceCounts();
    std::string dump = testing::internal::GetCapturedStderr();
    EXPECT_NE(dump.find("clsDestroyedFirst,-1,0,-1\n"), std::string::npos);
}

} // namespace
