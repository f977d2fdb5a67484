#include "Engine/Snapshot/clsSnapshotFetch.h"

#include "Common/utlInstanceCounter.h"
#include "Engine/Url/utlUrlParts.h"

namespace {

bool isHttpScheme(const std::string& scheme)
{
    return scheme == "http" || scheme == "https";
}

} // namespace

clsSnapshotFetch::clsSnapshotFetch(clsQuillaraSnapshot* snapshot, std::string url, std::string name,
                                   int kind)
    : snapshot(snapshot), url(std::move(url)), name(std::move(name)), kind(kind)
{
    countCreated("clsSnapshotFetch");
    utlUrlParts parts;
    if (crackUrl(this->url, parts) && parts.hasAuthority && isHttpScheme(parts.scheme))
        host = hostKey(parts.host);
}

clsSnapshotFetch::~clsSnapshotFetch()
{
    countDestroyed("clsSnapshotFetch");
}

int clsSnapshotFetch::releaseQueueRef()
{
    delete this;
    return 0;
}
