#pragma once

#include <cstdint>
#include <string>

namespace platform {

// What a file was when a program read or wrote it: enough to tell that another program has
// written it since (an atomic save is a new inode; an editor's in-place save changes the
// size or the time).
struct FileStamp {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;

    // The stamp of the file path names now (links followed); exists is false when there is none.
    static FileStamp of(const std::string& path);
    bool operator==(const FileStamp& other) const = default;
};

} // namespace platform
