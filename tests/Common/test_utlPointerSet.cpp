#include "Common/utlPointerSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <unordered_set>
#include <vector>

namespace {

const void* address(std::uintptr_t a)
{
    return reinterpret_cast<const void*>(a);
}

// Random inserts, erases and questions against std::unordered_set, on address patterns that
// stress the table: neighbours, addresses a power of two apart (they share their low bits),
// and random ones; the whole set is compared after every step.
TEST(PointerSet, AnswersAsAHashSetDoes)
{
    struct Pattern {
        const char* name;
        std::uintptr_t base;
        std::uintptr_t stride;
    };
    const Pattern patterns[] = {
        {"neighbours", 0x10000, 16},          {"objects", 0x7f0000001000, 496},
        {"4 KiB apart", 0x40000, 4096},       {"1 MiB apart", 0x100000, 1 << 20},
        {"16 MiB apart", 0x1000000, 1 << 24}, {"random", 0, 0},
    };
    for (const Pattern& pattern : patterns) {
        for (unsigned seed = 1; seed <= 4; ++seed) {
            std::mt19937_64 random(seed);
            std::vector<const void*> pool;
            for (std::uintptr_t i = 0; i < 3000; ++i) {
                pool.push_back(pattern.stride != 0
                                   ? address(pattern.base + i * pattern.stride)
                                   : address((random() & ~std::uintptr_t{15}) | 16));
            }
            utlPointerSet set;
            std::unordered_set<const void*> expected;
            if (seed == 2) {
                set.reserve(1000);
            }
            for (int step = 0; step < 20000; ++step) {
                const void* p = pool[random() % (step < 10000 ? pool.size() : pool.size() / 10)];
                switch (random() % 4) {
                case 0:
                case 1:
                    ASSERT_EQ(set.insert(p), expected.insert(p).second)
                        << pattern.name << " step " << step;
                    break;
                case 2:
                    ASSERT_EQ(set.erase(p), expected.erase(p) == 1)
                        << pattern.name << " step " << step;
                    break;
                default:
                    ASSERT_EQ(set.contains(p), expected.count(p) == 1)
                        << pattern.name << " step " << step;
                }
                ASSERT_EQ(set.size(), expected.size());
                if (step % 1000 == 999) {
                    for (const void* q : pool) {
                        ASSERT_EQ(set.contains(q), expected.count(q) == 1)
                            << pattern.name << " step " << step;
                    }
                    std::vector<const void*> values = set.values();
                    ASSERT_EQ(std::unordered_set<const void*>(values.begin(), values.end()),
                              expected);
                    ASSERT_EQ(values.size(), expected.size());
                }
                if (step == 15000 && seed == 3) {
                    set.clear();
                    expected.clear();
                }
            }
        }
    }
    utlPointerSet set;
    EXPECT_FALSE(set.insert(nullptr));
    EXPECT_FALSE(set.contains(nullptr));
    EXPECT_FALSE(set.erase(address(0x1000)));
    EXPECT_TRUE(set.empty());
}

// A batch (small, and large enough to be entered in slot order) into a set that already holds
// some of it, with duplicates and a null inside, leaves the set a hash set would be.
TEST(PointerSet, TakesABatchAsSingleInsertsWould)
{
    for (size_t count : {100, 5000, 40000}) {
        std::mt19937_64 random(count);
        std::vector<const void*> batch;
        for (size_t i = 0; i < count; ++i) {
            std::uintptr_t a =
                i % 3 == 0 ? (random() & ~std::uintptr_t{15}) | 16 : 0x7f0000001000 + i * 528;
            batch.push_back(address(a));
        }
        batch.push_back(batch[count / 2]);
        batch.push_back(nullptr);
        utlPointerSet set;
        std::unordered_set<const void*> expected;
        for (size_t i = 0; i < count; i += 7) {
            set.insert(batch[i]);
            expected.insert(batch[i]);
        }
        set.insertAll(batch);
        for (const void* p : batch) {
            if (p != nullptr) {
                expected.insert(p);
            }
        }
        ASSERT_EQ(set.size(), expected.size()) << count;
        std::vector<const void*> inOrder(expected.begin(), expected.end());
        std::sort(inOrder.begin(), inOrder.end(), std::less<>());
        ASSERT_EQ(set.valuesInAddressOrder(), inOrder) << count;
        for (const void* p : expected) {
            ASSERT_TRUE(set.contains(p)) << count;
        }
        EXPECT_FALSE(set.contains(address(0x10)));
        for (const void* p : expected) {
            ASSERT_TRUE(set.erase(p)) << count;
        }
        EXPECT_TRUE(set.empty()) << count;
    }
}

} // namespace
