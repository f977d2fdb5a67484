#pragma once

// What a job of the engine's communication queue does; a worker runs it.
enum class clsCommunicationKind : int {
    head = 0,          // a head-only request (its transfer reports 3028)
    read = 1,          // a network read: the node's read, then the transfer
    snapshot = 4,      // a whole snapshot (clsQuillaraSnapshot)
    snapshotFetch = 5, // one file of a snapshot (clsSnapshotFetch)
};
