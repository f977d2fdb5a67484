#pragma once

// What a job of the engine's request queue does; the engine thread runs it.
enum class clsJobKind : int {
    head = 1,     // a head-only request: handed to the workers
    read = 2,     // the read of a page that no transport fetches (a local file)
    analyze = 3,  // one analysis pass of a node
    snapshot = 4, // a snapshot: handed to the workers
    reload = 5,   // read, from the source anew
    stop = 6,     // cancel everything under way
};
