#include "Common/utlPointerSet.h"

#include <algorithm>
#include <bit>

size_t utlPointerSet::home(const void* p) const
{
    // Allocations are 16-byte aligned. The bits above the table's width are folded in so that
    // addresses a whole table apart do not all meet in one slot.
    auto u = reinterpret_cast<std::uintptr_t>(p) >> 4;
    return static_cast<size_t>(u ^ (u >> bits_) ^ ((u >> bits_) >> bits_)) & (slots_.size() - 1);
}

size_t utlPointerSet::find(const void* p) const
{
    size_t mask = slots_.size() - 1;
    size_t i = home(p);
    while (slots_[i] != nullptr && slots_[i] != p) {
        i = (i + 1) & mask;
    }
    return i;
}

void utlPointerSet::rehash(size_t capacity)
{
    std::vector<const void*> old;
    old.swap(slots_);
    slots_.assign(capacity, nullptr);
    bits_ = static_cast<unsigned>(std::countr_zero(capacity));
    for (const void* p : old) {
        if (p != nullptr) {
            slots_[find(p)] = p;
        }
    }
}

size_t utlPointerSet::sweepShift(std::vector<std::uint32_t>& starts) const
{
    // Buckets of 64 slots (one 512-byte stretch of the table), 4096 at most.
    unsigned bucketBits = bits_ > 6 ? bits_ - 6 : 0;
    bucketBits = bucketBits > 12 ? 12 : bucketBits;
    starts.assign((size_t{1} << bucketBits) + 1, 0);
    return bits_ - bucketBits;
}

void utlPointerSet::reserve(size_t count)
{
    size_t capacity = std::bit_ceil(count * 2 < 16 ? size_t{16} : count * 2);
    if (capacity > slots_.size()) {
        rehash(capacity);
    }
}

bool utlPointerSet::insert(const void* p)
{
    if (p == nullptr) {
        return false;
    }
    if ((size_ + 1) * 2 > slots_.size()) {
        reserve(size_ + 1 < 8 ? 8 : (size_ + 1) * 2);
    }
    size_t i = find(p);
    if (slots_[i] != nullptr) {
        return false;
    }
    slots_[i] = p;
    ++size_;
    return true;
}

bool utlPointerSet::contains(const void* p) const
{
    return p != nullptr && size_ != 0 && slots_[find(p)] == p;
}

bool utlPointerSet::erase(const void* p)
{
    if (!contains(p)) {
        return false;
    }
    // Backward-shift deletion: the entries after the hole that may not stay behind it move
    // into it, so no probe sequence is ever cut short.
    size_t mask = slots_.size() - 1;
    size_t hole = find(p);
    slots_[hole] = nullptr;
    --size_;
    for (size_t j = (hole + 1) & mask; slots_[j] != nullptr; j = (j + 1) & mask) {
        size_t want = home(slots_[j]);
        bool staysPut = hole <= j ? (hole < want && want <= j) : (hole < want || want <= j);
        if (staysPut) {
            continue;
        }
        slots_[hole] = slots_[j];
        slots_[j] = nullptr;
        hole = j;
    }
    return true;
}

void utlPointerSet::clear()
{
    slots_.clear();
    slots_.shrink_to_fit();
    size_ = 0;
    bits_ = 0;
}

std::vector<const void*> utlPointerSet::values() const
{
    std::vector<const void*> out;
    out.reserve(size_);
    for (const void* p : slots_) {
        if (p != nullptr) {
            out.push_back(p);
        }
    }
    return out;
}

std::vector<const void*> utlPointerSet::valuesInAddressOrder() const
{
    std::vector<std::uintptr_t> keys;
    keys.reserve(size_);
    std::uintptr_t low = UINTPTR_MAX;
    for (const void* p : slots_) {
        if (p != nullptr) {
            keys.push_back(reinterpret_cast<std::uintptr_t>(p));
            low = std::min(low, keys.back());
        }
    }
    // Least significant digit first, 11 bits a pass, over the offsets from the lowest address
    // from their lowest bit that is not the same in all (allocations share their alignment).
    std::uintptr_t spread = 0;
    for (std::uintptr_t u : keys) {
        spread |= u - low;
    }
    std::vector<std::uintptr_t> sorted(keys.size());
    constexpr unsigned kDigitBits = 11;
    constexpr std::size_t kDigits = std::size_t{1} << kDigitBits;
    for (unsigned shift = spread != 0 ? static_cast<unsigned>(std::countr_zero(spread)) : 64;
         shift < 64 && (spread >> shift) != 0; shift += kDigitBits) {
        std::vector<std::size_t> starts(kDigits + 1, 0);
        for (std::uintptr_t u : keys) {
            ++starts[(((u - low) >> shift) & (kDigits - 1)) + 1];
        }
        for (std::size_t i = 1; i < starts.size(); ++i) {
            starts[i] += starts[i - 1];
        }
        for (std::uintptr_t u : keys) {
            sorted[starts[((u - low) >> shift) & (kDigits - 1)]++] = u;
        }
        keys.swap(sorted);
    }
    std::vector<const void*> out;
    out.reserve(keys.size());
    for (std::uintptr_t u : keys) {
        out.push_back(reinterpret_cast<const void*>(u));
    }
    return out;
}
