#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One fetched entry of a snapshot: the top page, a frame or a resource.
struct clsSnapshotEntry {
    std::string url;  // the absolute address the entry was asked for
    std::string name; // its file name inside the snapshot folder
    int kind = 0;     // clsSnapshotRewriter::RefKind
    bool saved = false;
    std::int64_t size = 0;
    int result = 0;    // 0, -1 transport error, -2 cancelled, or the HTTP status (>= 400)
    std::string error; // why it failed, for the user
};

// What the snapshot notifications hand to the user-interface thread: a copy, so that the
// receiver never reads an object the worker is still changing.
struct clsSnapshotReport {
    int id = 0;
    std::string url;
    std::string folder;  // ends with '/'
    std::string topName; // file name of the saved top page, empty until it is saved
    std::string topFile; // folder + topName
    bool topSaved = false;
    bool finished = false;  // the run has ended (3030)
    bool cancelled = false; // cancelled: the run ended early and left its temporary files out
    bool stopped = false;   // stopped: the run ended early, what was saved stays
    bool limitReached = false;
    int savedCount = 0;
    int failedCount = 0;
    int waitingCount = 0;
    // Every entry that was processed, in order (only in the final report).
    std::vector<clsSnapshotEntry> entries;
};
