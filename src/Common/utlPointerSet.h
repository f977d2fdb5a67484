#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

// A set of object addresses in one open-addressed table (linear probing, at most half full).
// Neighbouring addresses go to neighbouring slots, so objects made one after another are
// entered and looked up with few cache misses, and nothing is allocated per entry. Only the
// address is kept: contains() may be asked about an object that is gone.
class utlPointerSet {
public:
    // False when p is null or already in the set.
    bool insert(const void* p);
    // Inserts every pointer of ps (a range of object pointers). A large batch is entered in
    // the order of its slots, a sweep over the table rather than a cache miss per entry once
    // the table outgrows the cache.
    template <class Range>
    void insertAll(const Range& ps)
    {
        reserve(size_ + std::size(ps));
        if (std::size(ps) < kSweepFrom) {
            for (const void* p : ps) {
                insert(p);
            }
            return;
        }
        std::vector<std::uint32_t> starts;
        size_t shift = sweepShift(starts);
        for (const void* p : ps) {
            ++starts[(home(p) >> shift) + 1];
        }
        for (size_t i = 1; i < starts.size(); ++i) {
            starts[i] += starts[i - 1];
        }
        std::vector<const void*> order(std::size(ps));
        for (const void* p : ps) {
            order[starts[home(p) >> shift]++] = p;
        }
        for (const void* p : order) {
            insert(p);
        }
    }
    // False when p was not in the set.
    bool erase(const void* p);
    bool contains(const void* p) const;
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Room for count entries without growing.
    void reserve(size_t count);
    void clear();
    // The entries, in no particular order.
    std::vector<const void*> values() const;
    // The entries in address order (a radix sort: linear in the entries).
    std::vector<const void*> valuesInAddressOrder() const;

private:
    static constexpr size_t kSweepFrom = 4096;
    // Sizes starts for the batch's counting sort (one bucket per run of slots) and returns
    // the shift that takes a home slot to its bucket.
    size_t sweepShift(std::vector<std::uint32_t>& starts) const;
    size_t home(const void* p) const;
    // The slot holding p, or the empty slot where it would go.
    size_t find(const void* p) const;
    void rehash(size_t capacity);
    std::vector<const void*> slots_; // null: empty; the size is a power of two
    size_t size_ = 0;
    unsigned bits_ = 0;
};
