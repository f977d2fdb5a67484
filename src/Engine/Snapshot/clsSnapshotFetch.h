#pragma once

#include "Engine/Core/clsQueueItem.h"

#include <string>

class clsQuillaraSnapshot;

// One file of a snapshot waiting in the communication queue: the workers fetch a snapshot's
// files side by side, each host paced like any other request. The host is fixed when the
// job is made, so the queue can ask for it without touching the snapshot. The job owns this
// object: it goes when the job is done or dropped.
class clsSnapshotFetch : public clsQueueItem {
public:
    clsSnapshotFetch(clsQuillaraSnapshot* snapshot, std::string url, std::string name, int kind);
    ~clsSnapshotFetch() override;
    clsSnapshotFetch(const clsSnapshotFetch&) = delete;
    clsSnapshotFetch& operator=(const clsSnapshotFetch&) = delete;

    int releaseQueueRef() override;

    clsQuillaraSnapshot* getSnapshot() const { return snapshot; }
    const std::string& getUrl() const { return url; }
    const std::string& getName() const { return name; }
    int getKind() const { return kind; }
    // The key (hostKey) of the host whose pacing the fetch waits for; empty for what is not
    // fetched over HTTP.
    const std::string& getHost() const { return host; }

private:
    clsQuillaraSnapshot* snapshot;
    std::string url;
    std::string name;
    int kind;
    std::string host;
};
