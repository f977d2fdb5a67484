#pragma once

#include <string>

class clsQuillaraItem;
struct clsSnapshotReport;

// What the engine's notifications reach on the user-interface thread: the application window
// in the GUI, the command's own listener in the CLI. Every call comes from
// clsQuillaraEngine::handleMessage, never from an engine thread.
class clsEngineTarget {
public:
    virtual ~clsEngineTarget() = default;

    // phase 1: the page started to arrive (or a local page was read); 2: an analysis pass
    // ended and the page is not complete; 3: the page is complete or the request failed.
    // node is valid during the call; a receiver that keeps it calls node->addRef() and later
    // node->release().
    virtual void onNodeNotify(int id, clsQuillaraItem* node, int phase) = 0;

    // A head-only request ended (request mode 0).
    virtual void onHeadNotify(int id, int linkKind, const std::string& address, const std::string& fileName,
                              const std::string& protocol, int contentLength, const std::string& lastModifiedText)
    {
        (void)id, (void)linkKind, (void)address, (void)fileName, (void)protocol, (void)contentLength,
            (void)lastModifiedText;
    }

    // A snapshot saved a file (phase 0; the top page first) or has ended (phase 2, exactly
    // once per snapshot, with every entry in the report).
    virtual void onSnapshotNotify(int id, const clsSnapshotReport& report, int phase)
    {
        (void)id, (void)report, (void)phase;
    }
};
