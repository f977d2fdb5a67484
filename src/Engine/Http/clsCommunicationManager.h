#pragma once

#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsRequestStatus.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

class clsCommunicationHttp;
class clsQuillaraItem;
class clsQuillaraSnapshot;
class clsUrlInformation;

// One of the engine's four communication workers: a thread that takes jobs from the
// engine's communication queue and runs them with its own transport.
class clsCommunicationManager {
public:
    explicit clsCommunicationManager(clsQuillaraEngine* engine);
    virtual ~clsCommunicationManager();
    clsCommunicationManager(const clsCommunicationManager&) = delete;
    clsCommunicationManager& operator=(const clsCommunicationManager&) = delete;

    virtual bool init();
    // Stops the thread: a transfer under way ends at once with status 5 and result -2.
    virtual bool term();
    virtual int getActivity() const;

protected:
    virtual void threadBody();
    virtual bool readHead(clsUrlInformation* info);
    virtual bool read(clsUrlInformation* info, clsQuillaraItem* node);
    // Communication job 4: the whole snapshot runs here, with this worker's transport.
    virtual bool snapshot(clsQuillaraSnapshot* snapshot);

private:
    bool startRead(clsQuillaraEngine::Job& job);
    bool readWhole(clsUrlInformation* info, clsQuillaraItem* node);
    bool ensureTransport();
    bool endRead(clsUrlInformation* info, clsQuillaraItem* node, clsRequestStatus status,
                 int result);
    bool isFetched(clsUrlInformation* info) const;

    clsQuillaraEngine* engine;
    std::atomic<bool> stopping{false};
    std::thread thread;
    std::unique_ptr<clsCommunicationHttp> transport;
    std::mutex transportLock; // guards the transport pointer against term() on another thread
    std::atomic<int> activity{0};
};
