#pragma once

#include "Engine/Core/clsEnginePhase.h"

#include <string>

class clsQuillaraItem;
struct clsSnapshotReport;

// What the engine's notifications reach on the user-interface thread: the application window
// in the GUI, the command's own listener in the CLI. Every call comes from
// clsQuillaraEngine::handleMessage, never from an engine thread.
class clsEngineTarget {
public:
    virtual ~clsEngineTarget() = default;

    // node is valid during the call; a receiver that keeps it calls node->addRef() and later
    // node->release().
    virtual void onNodeNotify(int id, clsQuillaraItem* node, clsNodePhase phase) = 0;

    // A head-only request ended (request mode 0).
    virtual void onHeadNotify(int id, int linkKind, const std::string& address,
                              const std::string& fileName, const std::string& protocol,
                              int contentLength, const std::string& lastModifiedText)
    {
        (void)id, (void)linkKind, (void)address, (void)fileName, (void)protocol,
            (void)contentLength, (void)lastModifiedText;
    }

    virtual void onSnapshotNotify(int id, const clsSnapshotReport& report, clsSnapshotPhase phase)
    {
        (void)id, (void)report, (void)phase;
    }
};
