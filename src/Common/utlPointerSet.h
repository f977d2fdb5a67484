#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A set of object addresses in one open-addressed table (linear probing, at most half full).
// Neighbouring addresses go to neighbouring slots, so objects made one after another are
// entered and looked up with few cache misses, and nothing is allocated per entry. Only the
// address is kept: contains() may be asked about an object that is gone.
class utlPointerSet {
public:
    // False when p is null or already in the set.
    bool insert(const void* p);
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

private:
    size_t home(const void* p) const;
    // The slot holding p, or the empty slot where it would go.
    size_t find(const void* p) const;
    void rehash(size_t capacity);
    std::vector<const void*> slots_; // null: empty; the size is a power of two
    size_t size_ = 0;
    unsigned bits_ = 0;
};
