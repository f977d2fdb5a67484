#pragma once

#include "Engine/Core/clsCommunicationKind.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Engine/Core/clsJobKind.h"
#include "Engine/Core/clsRequestMode.h"
#include "Platform/MessageTarget.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

class clsCommunicationManager;
class clsEngineTarget;
class clsQueueItem;
class clsQuillaraItem;
class clsQuillaraSnapshot;
class clsSendPacer;
class clsSnapshotFetch;
struct clsSnapshotReport;
class clsUrlInformation;

// Notifications posted by the engine's threads; handled by handleMessage on the
// user-interface thread. wParam is the request id. For the node notifications lParam is the
// node (clsQuillaraItem*) with one reference that travels with the message: handleMessage
// (or DiscardMessage, for a message that is never handled) releases it. 3029 carries a
// clsSnapshotReport* (a copy, deleted by the handler), 3030 the clsQuillaraSnapshot* that has
// ended (deleted by the handler).
enum : unsigned {
    WM_ENGINE_NODE_CREATED = 3025,
    WM_ENGINE_NODE_READING = 3026,
    WM_ENGINE_NODE_READ = 3027,
    WM_ENGINE_HEAD_READ = 3028,
    WM_ENGINE_SNAPSHOT_SAVED = 3029,
    WM_ENGINE_SNAPSHOT_DONE = 3030,
};

// The extra word of a job. A network read goes to the workers straight from requestItem; the
// worker that takes it starts it (node read) as the engine thread would have. A page whose
// body was all in at once gets one analysis job that also announces it (3025 and the pass's
// notification posted together).
enum clsJobExtra {
    extraNone = 0,
    extraStartRead = 1,
    extraStartReload = 2,
    extraAnnounce = 3,
};

// The fetch engine: the registry of requested addresses, the request queue served by the
// engine thread and the communication queue served by four workers. One per process, reached
// through acquireEngine / getEngine / releaseEngine; tests may also make their own.
class clsQuillaraEngine {
public:
    // A queued job: kind, object (one queue reference), extra, and for read, analyse and
    // transfer jobs the node the job works on, with one reference owned by the job.
    struct Job {
        Job() = default;
        Job(clsJobKind kind, clsQueueItem* object, int extra, clsQuillaraItem* node)
            : kind(static_cast<int>(kind)), object(object), extra(extra), node(node)
        {
        }
        Job(clsCommunicationKind kind, clsQueueItem* object, int extra, clsQuillaraItem* node)
            : kind(static_cast<int>(kind)), object(object), extra(extra), node(node)
        {
        }
        // The kind of a request-queue job, or of a communication-queue job: each queue
        // holds jobs of its own kinds only.
        bool is(clsJobKind other) const { return kind == static_cast<int>(other); }
        bool is(clsCommunicationKind other) const { return kind == static_cast<int>(other); }
        clsJobKind jobKind() const { return static_cast<clsJobKind>(kind); }

        int kind = 0;
        clsQueueItem* object = nullptr;
        int extra = 0;
        clsQuillaraItem* node = nullptr;
        // Taken as a transfer: it holds one of the places in flight (and, with pacing per
        // host, its host) until endTransfer.
        bool counted = false;
        // The host a communication job sends its first request to (paced), or empty.
        std::string host = {};
        // The host's number in the engine's host table (set when queued), or -1.
        int hostSlot = -1;
    };

    clsQuillaraEngine();
    virtual ~clsQuillaraEngine();
    clsQuillaraEngine(const clsQuillaraEngine&) = delete;
    clsQuillaraEngine& operator=(const clsQuillaraEngine&) = delete;

    // target receives the notifications (may be null: nothing is told); window is where the
    // engine's threads post them (may be null: nothing is posted).
    virtual bool init(clsEngineTarget* target, platform::MessageTarget* window,
                      const clsEngineOptions& options);
    virtual bool term();
    // Registers or finds (kind, address) and queues work by mode. out gets a queue reference
    // that the caller gives back with releaseQueueRef.
    virtual bool requestItem(clsRequestMode mode, int kind, const std::string& address,
                             clsUrlInformation*& out);
    // A barrier: takes and at once leaves the registry lock, so that a registry change under
    // way has ended when it returns.
    virtual bool synchronize();
    virtual bool queueHead(clsUrlInformation* info);
    virtual bool queueRead(clsUrlInformation* info, int codeKind);
    virtual bool queueReload(clsUrlInformation* info);
    // Queues an analysis pass of node (the caller's node reference is taken over by the job).
    virtual bool queueAnalyze(clsUrlInformation* info, clsQuillaraItem* node);
    virtual bool registerItem(clsUrlInformation* info);
    virtual bool unregisterItem(clsUrlInformation* info);
    virtual bool getActivity(int& state, int& a, int& b);
    // Snapshots: startSnapshot makes a clsQuillaraSnapshot that queues itself (job 4) and
    // gives its request id; every snapshot ends with exactly one 3030, success or not.
    virtual bool startSnapshot(int mode, const std::string& url, const std::string& folder,
                               int& id);
    virtual bool queueSnapshot(clsQuillaraSnapshot* snapshot, int& id);
    // Any thread: ends the snapshot's run at its next step (cancel also drops its temporary
    // file); false when no snapshot of that id is queued or running.
    bool cancelSnapshot(int id);
    bool stopSnapshot(int id);
    std::size_t getSnapshotCount();
    // Worker: queues one file of a snapshot for the workers (the job owns fetch); false when
    // the engine is stopping.
    bool postSnapshotFetch(clsSnapshotFetch* fetch);
    // Worker: a file of the snapshot was saved (3029 with a copy of its state).
    bool postSnapshotSaved(clsQuillaraSnapshot* snapshot);
    // The snapshot has ended: it leaves the running set and goes to the user-interface thread
    // with 3030 (or is deleted at once when there is nobody to tell).
    bool finishSnapshot(clsQuillaraSnapshot* snapshot);
    virtual bool queueStop();
    int nextId();

    // The hidden window's procedure: runs one notification on the calling (user-interface)
    // thread. Returns false for a message that is not the engine's.
    bool handleMessage(const platform::Message& message);
    // Releases what a notification carries without telling anybody.
    static void DiscardMessage(const platform::Message& message);
    // Posts a node notification carrying one reference of node; on failure releases it.
    bool postNode(unsigned message, clsUrlInformation* info, clsQuillaraItem* node);
    // The same for up to two notifications of one request, posted together; each carries one
    // reference of node.
    bool postNodes(const unsigned* messages, std::size_t count, clsUrlInformation* info,
                   clsQuillaraItem* node);
    bool postHead(clsUrlInformation* info);

    // Communication queue, used by the workers.
    bool postCommunication(clsCommunicationKind kind, clsUrlInformation* info,
                           clsQuillaraItem* node, int extra = extraNone);
    // Starts a read (the node's read, and for a page that needs no network its 3025 and
    // analysis). needsNetwork: the job keeps its node and the page must be fetched; else the
    // job's node has gone with a notification or an analysis job.
    bool startRead(Job& job, bool reload, bool& needsNetwork);
    // A worker's analysis pass; announce: the page's 3025 goes out with the pass's notification.
    bool queueAnalysis(clsUrlInformation* info, clsQuillaraItem* node, bool announce);
    // An idle worker: waits for a job it may run now (its pacing turn taken with it).
    bool waitCommunication(const std::atomic<bool>& workerStopping, Job& job);
    // A worker that drives transfers: a transfer job it may start now, never a snapshot;
    // false when there is none, readyAt then when a queued host may be free (0: unknown).
    bool takeCommunication(Job& job, std::uint64_t& readyAt);
    // A transfer has ended (or a counted job started none): its place is free again, and
    // with releaseHost its host. Called by the worker that drove it, which looks at the queue
    // next, so nobody else is woken.
    void endTransfer(const std::string& host, bool releaseHost);
    // A transfer talks to host: false when as many do already (one with pacing per host, else
    // one per worker, as many as when each worker ran one transfer).
    bool claimHost(const std::string& host);
    void releaseHost(const std::string& host);
    // Changes whenever a queued job may have become ready: a job came, a transfer ended or gave
    // its host up. A busy worker that found nothing looks again only after a change (or when
    // the pacer said a host would be free).
    std::uint64_t getQueueVersion() const;
    // How many transfers one worker drives at most.
    std::size_t getTransferShare() const;
    // Workers waiting on their sockets, woken when a job comes and no worker is idle.
    void addWaker(clsCommunicationManager* worker);
    void removeWaker(clsCommunicationManager* worker);
    void wakeWorkers();

    clsQuillaraItem* makeNode(int linkKind);
    const clsEngineOptions& getOptions() const;
    clsSendPacer& getPacer();
    // The registered record, with a queue reference for the caller, or null.
    clsUrlInformation* findById(int id);
    clsUrlInformation* findByAddress(int kind, const std::string& address);
    std::size_t getRegisteredCount();
    bool isRunning() const;

    static bool acquireEngine(clsEngineTarget* target, platform::MessageTarget* window);
    static bool releaseEngine();
    static clsQuillaraEngine* getEngine();

    // The process-wide locks: the registry lock is taken before the reference lock.
    static std::recursive_mutex& RegistryLock();
    static std::mutex& ReferenceLock();

protected:
    void threadEngine();
    virtual bool head(clsUrlInformation* info);
    virtual bool read(Job& job, bool reload);
    virtual bool analyze(Job& job);
    virtual bool stop();
    virtual bool snapshot(Job& job);

private:
    friend class clsUrlInformation;
    // Removes info's own entries (and no other record's); the registry lock is held.
    void eraseEntries(clsUrlInformation* info);
    bool pushRequest(const Job& job);
    void runRound(std::vector<Job>& round);
    bool isStopping();
    bool runJob(Job& job);
    // Engine thread: the final notifications of an analysis pass, posted when the round ends.
    bool tellAtRoundEnd(const unsigned* messages, std::size_t count, clsUrlInformation* info,
                        clsQuillaraItem* node);
    void flushNotices();
    void dropJobs(std::deque<Job>& jobs, bool notify, bool communication);
    // Empties both queues into the given ones.
    void takeQueuedJobs(std::deque<Job>& requests, std::deque<Job>& communications);
    void releaseJob(Job& job);
    bool startWorkers();
    void stopWorkers();
    bool queueNodeRead(clsUrlInformation* info, clsJobKind kind, int codeKind);
    // A network address of a scheme that a transport fetches.
    static bool isFetchedAddress(clsUrlInformation* info);
    // The communication job a worker should take now, or end (readyAt: when to look again).
    std::deque<Job>::iterator findReadyJob(std::uint64_t& readyAt, bool busy);
    // A job was queued: an idle worker is told, else one that waits on its sockets.
    void announceJob(bool idle);

    bool stopping = false;
    std::atomic<int> idCounter{1};
    clsEngineTarget* target = nullptr;
    platform::MessageTarget* window = nullptr;
    clsEngineOptions options;
    std::thread engineThread;
    std::atomic<bool> running{false};

    std::map<std::pair<int, std::string>, clsUrlInformation*> byAddress;
    std::map<int, clsUrlInformation*> byId;

    std::mutex requestLock;
    std::condition_variable requestEvent;
    std::deque<Job> requestQueue;
    // The engine thread's own: notifications kept for the end of a round, and the nodes whose
    // final notification is among them.
    std::vector<platform::Message> roundNotices;
    std::vector<clsQuillaraItem*> roundFinals;

    std::array<std::unique_ptr<clsCommunicationManager>, 4> workers;
    std::mutex communicationLock;
    std::condition_variable communicationEvent;
    std::deque<Job> communicationQueue;
    int idleWorkers = 0;
    int transfersInFlight = 0;
    std::atomic<std::uint64_t> queueVersion{0}; // changed under the communication lock
    std::map<std::string, int> hostTransfers;   // transfers that hold each host
    // Every host that has had a queued job gets a number, so that a scan of the queue marks
    // and tests a host by index instead of looking its name up for each job.
    std::unordered_map<std::string, int> hostSlots;
    std::vector<std::uint64_t> hostMarks; // the scan that last found the host waiting
    std::vector<int> hostQueued;          // queued jobs of the host
    int queuedHosts = 0;                  // hosts with a queued job
    int queuedOthers = 0;                 // queued jobs of no host, and snapshots
    std::uint64_t scanCount = 0;
    // With the communication lock held: a job into the queue (true: a worker is idle), one
    // out of it, and all of them out.
    bool queueCommunication(Job&& job);
    Job unqueueCommunication(std::deque<Job>::iterator job);
    void clearCommunicationCounts();
    int hostLimit() const;
    void dropHost(const std::string& host); // the communication lock is held
    std::mutex wakersLock;
    std::vector<clsCommunicationManager*> wakers;
    std::size_t nextWaker = 0;
    std::mutex workersLock;
    std::unique_ptr<clsSendPacer> pacer;

    // Snapshots between startSnapshot and their 3030, by request id.
    std::mutex snapshotLock;
    std::map<int, clsQuillaraSnapshot*> snapshots;
};
