#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct tviCabinetDocument;
struct tviCabinetEntry;

// When another program wrote a cabinet file after the window read it, the window's tree and
// the file are merged before the window writes, so that neither loses what it did. An entry
// is known by its folder path, kind, name and address. What the file holds and the window did
// not have at its last read or write was added by the other program and is added to the tree;
// an item the window still has unchanged but the other program removed (moved addresses) goes,
// while one whose note or mark the window changed stays; statuses the other program changed (a
// link check) are taken. Everything else is the window's.
class tviCabinetMerge {
public:
    struct BaseEntry {
        uint64_t key;
        int status;
        uint64_t edits; // what the user edits besides name and address: note and mark
        bool operator<(const BaseEntry& other) const { return key < other.key; }
    };
    // The file's entries as the window last read or wrote them: their keys (hashed, sorted)
    // with the status and edits each had.
    struct Base {
        std::vector<BaseEntry> entries;
        // Entries as a reader hands them over (parents first), then finish() once.
        void add(const tviCabinetEntry& e);
        void finish();
        std::vector<uint64_t> folderKeys; // while adding: the key of each entry so far
    };
    static Base baseOf(const tviCabinetDocument& doc);
    // ours (the tree) merged with theirs (the file now) over base. Entries come out in
    // document order.
    static tviCabinetDocument merge(const Base& base, const tviCabinetDocument& ours,
                                    const tviCabinetDocument& theirs);
    // The key of every entry of doc, in entry order.
    static std::vector<uint64_t> keysOf(const tviCabinetDocument& doc);
    static uint64_t keyOf(uint64_t parentKey, const tviCabinetEntry& e);
    static uint64_t editsOf(const tviCabinetEntry& e);
};
