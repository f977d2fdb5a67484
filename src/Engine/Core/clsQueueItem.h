#pragma once

// The base of everything that stands in an engine queue. The engine calls releaseQueueRef on
// every object it takes out of a queue, once the job is done or dropped.
class clsQueueItem {
public:
    virtual ~clsQueueItem() = default;
    virtual int releaseQueueRef() { return 0; }
};
