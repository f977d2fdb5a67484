#pragma once

// What a page-node notification tells. The numbers are the order in which one read's
// notifications arrive, and the window's message ids keep the same order.
enum class clsNodePhase : int {
    started = 1,  // the page started to arrive (or a local page was read)
    analysed = 2, // an analysis pass ended and the page is not complete yet
    complete = 3, // the page is complete or the request failed: the read's last word
};

// What a snapshot notification tells: a file was saved (the top page first), or the snapshot
// has ended, exactly once, with every entry in the report.
enum class clsSnapshotPhase : int {
    saved = 0,
    ended = 2,
};
