#pragma once

#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsRequestStatus.h"

#include <atomic>
#include <cstdint>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class clsCommunicationHttp;
class clsQuillaraItem;
class clsQuillaraSnapshot;
class clsTransfer;
class clsUrlInformation;

// One of the engine's four communication workers: a thread that takes jobs from the
// engine's communication queue. Network reads and head-only requests become transfers that
// the worker drives many at a time on one libcurl multi handle (its connection cache); a
// transfer that waits (for its host's turn, a retry's back-off, a silent server) holds a
// connection or a due time, not the thread. Snapshots run whole on the worker with a
// transport of their own, taken only when the worker drives no transfer.
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
    // Any thread: the worker looks at the queue again now, even while it waits on its sockets.
    void wake();

protected:
    virtual void threadBody();
    // Communication job 4: the whole snapshot runs here, with this worker's transport.
    virtual bool snapshot(clsQuillaraSnapshot* snapshot);

private:
    void runJob(clsQuillaraEngine::Job& job);
    bool startRead(clsQuillaraEngine::Job& job);
    void startTransfer(clsQuillaraEngine::Job& job);
    void takeJobs();
    void drive();
    void stepTransfers(std::uint64_t now);
    void endTransfers();
    bool ensureTransport();
    bool endRead(clsUrlInformation* info, clsQuillaraItem* node, clsRequestStatus status,
                 int result);
    bool isFetched(clsUrlInformation* info) const;
    void readHead(clsUrlInformation* info);

    clsQuillaraEngine* engine;
    std::atomic<bool> stopping{false};
    std::thread thread;
    std::unique_ptr<clsCommunicationHttp> transport;
    std::mutex transportLock; // guards the transport pointer against term() on another thread
    std::atomic<int> activity{0};
    CURLM* multi = nullptr;
    std::mutex multiLock; // guards the multi pointer against wake() on another thread
    std::vector<std::unique_ptr<clsTransfer>> transfers;
    std::vector<CURL*> spareHandles; // easy handles of ended transfers, with their shared options
    std::uint64_t queueReadyAt = 0;  // when a queued job may be ready (its host's turn)
    std::uint64_t queueSeen = ~std::uint64_t{0}; // the queue's version when nothing was ready
    std::uint32_t seed = 0;
};
