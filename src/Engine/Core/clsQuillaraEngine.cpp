#include "Engine/Core/clsQuillaraEngine.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Engine/Http/clsCommunicationHttp.h"
#include "Engine/Http/clsCommunicationManager.h"
#include "Engine/Core/clsEngineTarget.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Snapshot/clsQuillaraSnapshot.h"
#include "Engine/Snapshot/clsSnapshotFetch.h"
#include "Engine/Http/clsSendPacer.h"
#include "Engine/Snapshot/clsSnapshotReport.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Url/utlUrlParts.h"
#include "Platform/MessageTarget.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <exception>
#include <pthread.h>
#include <set>
#include <thread>

namespace {

// The process-wide engine of acquireEngine: its owner, its use count and a copy of the
// pointer that any thread may read.
std::mutex g_engineLock;
std::unique_ptr<clsQuillaraEngine> g_engine;
int g_engineUses = 0;
std::atomic<clsQuillaraEngine*> g_enginePointer{nullptr};

// Log texts (Shift_JIS).
const char* const msgReadFailed = utlTexts::sjis(utlText::readFailed);
const char* const msgCreatedPostFailed = utlTexts::sjis(utlText::postNodeCreatedFailed);
const char* const msgAnalyzeQueueFailed = utlTexts::sjis(utlText::analysisRequestFailed);
const char* const msgAnalyzeFailed = utlTexts::sjis(utlText::analysisFailed);
const char* const msgReadPostFailed = utlTexts::sjis(utlText::postNodeReadFinishedFailed);
const char* const msgReadingPostFailed = utlTexts::sjis(utlText::postNodeReadingFailed);
const char* const msgRequestFailed = utlTexts::sjis(utlText::itemRequestFailed);

const char* postFailureText(unsigned message)
{
    switch (message) {
    case WM_ENGINE_NODE_CREATED: return msgCreatedPostFailed;
    case WM_ENGINE_NODE_READING: return msgReadingPostFailed;
    default: return msgReadPostFailed;
    }
}

bool isNodeMessage(unsigned id)
{
    return id == WM_ENGINE_NODE_CREATED || id == WM_ENGINE_NODE_READING ||
           id == WM_ENGINE_NODE_READ;
}

clsNodePhase phaseOf(unsigned messageId)
{
    switch (messageId) {
    case WM_ENGINE_NODE_CREATED: return clsNodePhase::started;
    case WM_ENGINE_NODE_READING: return clsNodePhase::analysed;
    default: return clsNodePhase::complete;
    }
}

bool isReadJob(const clsQuillaraEngine::Job& job, bool communication)
{
    return communication ? job.is(clsCommunicationKind::read)
                         : (job.is(clsJobKind::read) || job.is(clsJobKind::reload));
}

// The key (hostKey) of the host a communication job will send its first request to, or empty
// when the job sends nothing that is paced.
std::string pacedHost(const clsQuillaraEngine::Job& job)
{
    if (job.is(clsCommunicationKind::snapshotFetch)) {
        auto* fetch = dynamic_cast<clsSnapshotFetch*>(job.object);
        return fetch != nullptr ? fetch->getHost() : std::string();
    }
    if (!job.is(clsCommunicationKind::read) && !job.is(clsCommunicationKind::head))
        return {};
    auto* info = dynamic_cast<clsUrlInformation*>(job.object);
    if (info == nullptr || info->getAddressKind() != addressNetwork)
        return {};
    return clsCommunicationHttp::speaks(info->getScheme()) ? hostKey(info->getHost())
                                                           : std::string();
}

// An idle worker looks again at least this often while every queued host must wait.
constexpr std::uint64_t readyRecheckMs = 100;

// How long the engine thread rests after a round of jobs (see threadEngine): short beside
// what a person notices, long beside the time a loopback request takes.
constexpr std::chrono::microseconds roundPause{500};

} // namespace

std::recursive_mutex& clsQuillaraEngine::RegistryLock()
{
    static std::recursive_mutex lock;
    return lock;
}

std::mutex& clsQuillaraEngine::ReferenceLock()
{
    static std::mutex lock;
    return lock;
}

clsQuillaraEngine::clsQuillaraEngine()
{
    countCreated("clsQuillaraEngine");
}

clsQuillaraEngine::~clsQuillaraEngine()
{
    term();
    countDestroyed("clsQuillaraEngine");
}

bool clsQuillaraEngine::init(clsEngineTarget* newTarget, platform::MessageTarget* newWindow,
                             const clsEngineOptions& newOptions)
{
    if (running)
        return logError("already running");
    target = newTarget;
    window = newWindow;
    options = newOptions;
    stopping = false;
    idCounter = 1;
    pacer = std::make_unique<clsSendPacer>(options.paceIntervalMs,
                                           options.paceMode == clsPaceMode::perHost);
    engineThread = std::thread(&clsQuillaraEngine::threadEngine, this);
    running = true;
    std::lock_guard<std::mutex> guard(workersLock);
    return startWorkers();
}

bool clsQuillaraEngine::term()
{
    if (!running)
        return true;
    // The engine thread goes first: a cancel it is running would otherwise start the workers
    // again after they were stopped here.
    {
        std::lock_guard<std::mutex> guard(requestLock);
        stopping = true;
    }
    requestEvent.notify_all();
    if (engineThread.joinable())
        engineThread.join();
    {
        std::lock_guard<std::mutex> guard(workersLock);
        stopWorkers();
    }
    std::deque<Job> requests;
    std::deque<Job> communications;
    takeQueuedJobs(requests, communications);
    window = nullptr;
    dropJobs(requests, false, false);
    dropJobs(communications, false, true);
    // Records that tree items still hold outlive the engine; they must not reach it again.
    std::lock_guard<std::recursive_mutex> registry(RegistryLock());
    for (auto& [id, info] : byId)
        info->forgetEngine();
    for (auto& [key, info] : byAddress)
        info->forgetEngine();
    byId.clear();
    byAddress.clear();
    running = false;
    return true;
}

bool clsQuillaraEngine::startWorkers()
{
    bool ok = true;
    for (auto& worker : workers) {
        worker = std::make_unique<clsCommunicationManager>(this);
        ok = worker->init() && ok;
    }
    return ok;
}

void clsQuillaraEngine::stopWorkers()
{
    for (auto& worker : workers)
        if (worker)
            worker->term();
}

int clsQuillaraEngine::nextId()
{
    return idCounter++;
}

bool clsQuillaraEngine::isRunning() const
{
    return running;
}

bool clsQuillaraEngine::requestItem(clsRequestMode mode, int kind, const std::string& address,
                                    clsUrlInformation*& out)
{
    out = nullptr;
    if (mode < clsRequestMode::headOnly || mode > clsRequestMode::readAgainUtf8 || !running)
        return logError(msgRequestFailed);
    try {
        std::lock_guard<std::recursive_mutex> registry(RegistryLock());
        int codeKind = codeKindOf(mode);
        if (mode >= clsRequestMode::readAgainSjis)
            mode = clsRequestMode::readAgain;
        std::pair<int, std::string> key{kind, clsUrlInformation::normaliseAddress(address)};
        auto found = byAddress.lower_bound(key);
        if (found == byAddress.end() || found->first != key) {
            auto* info = new clsUrlInformation(this);
            info->addQueueRef();
            info->set(nextId(), kind, address);
            byId.emplace_hint(byId.end(), info->getId(), info);
            // The record's address is the normalised one the key was made of.
            byAddress.emplace_hint(found, std::move(key), info);
            out = info;
            switch (mode) {
            case clsRequestMode::headOnly:
                info->setStatus(clsRequestStatus::headRequested);
                return queueHead(info);
            case clsRequestMode::reload:
                info->setStatus(clsRequestStatus::reading);
                return queueReload(info);
            case clsRequestMode::registerOnly: return true;
            default: info->setStatus(clsRequestStatus::reading); return queueRead(info, codeKind);
            }
        }
        clsUrlInformation* info = found->second;
        info->addQueueRef();
        out = info;
        clsRequestStatus status = info->getStatus();
        if (status == clsRequestStatus::registered && mode == clsRequestMode::headOnly) {
            info->setStatus(clsRequestStatus::headRequested);
            return queueHead(info);
        }
        if (status == clsRequestStatus::reading)
            return true;
        // An address nobody fetches has ended as surely as a loaded page.
        if (status == clsRequestStatus::complete || status == clsRequestStatus::unchecked) {
            if (mode == clsRequestMode::read) {
                // The caller is told at once with the node that is there; a record whose node
                // has gone (nobody held it) is read anew, so that the caller is told at all.
                // A page whose final notification is still on its way is not told twice: that
                // one reaches this caller too, and an early 3027 would come before its 3025.
                if (clsQuillaraItem* node = info->getNode()) {
                    if (node->isFinalTold())
                        return postNode(WM_ENGINE_NODE_READ, info, node);
                    node->release();
                    return true;
                }
                info->setStatus(clsRequestStatus::reading);
                return queueRead(info, 0);
            }
            if (mode == clsRequestMode::reload || mode == clsRequestMode::readAgain) {
                info->setStatus(clsRequestStatus::reading);
                return mode == clsRequestMode::reload ? queueReload(info)
                                                      : queueRead(info, codeKind);
            }
            return true;
        }
        if (mode == clsRequestMode::read) {
            info->setStatus(clsRequestStatus::reading);
            return queueRead(info, 0);
        }
        if (mode == clsRequestMode::reload) {
            info->setStatus(clsRequestStatus::reading);
            return queueReload(info);
        }
        return true;
    } catch (const std::exception& e) {
        assert(!"exception in requestItem");
        return logError(e.what());
    }
}

bool clsQuillaraEngine::synchronize()
{
    std::lock_guard<std::recursive_mutex> registry(RegistryLock());
    return true;
}

bool clsQuillaraEngine::pushRequest(const Job& job)
{
    {
        std::lock_guard<std::mutex> guard(requestLock);
        requestQueue.push_back(job);
    }
    requestEvent.notify_one();
    return true;
}

bool clsQuillaraEngine::queueHead(clsUrlInformation* info)
{
    info->addQueueRef();
    return pushRequest(Job{clsJobKind::head, info, 0, nullptr});
}

// A new read: a new node (the old one lives on with whoever holds it), a clean result and
// redirect chain, and the job that owns the node's first reference.
bool clsQuillaraEngine::queueNodeRead(clsUrlInformation* info, clsJobKind kind, int codeKind)
{
    clsQuillaraItem* node = makeNode(info->getLinkKind());
    info->createNode(node);
    node->setCodeKind(codeKind);
    info->setResultCode(0);
    info->resetReceivedBytes();
    info->clearRedirects();
    // A fetch has nothing for the engine thread to do before the transfer: the worker starts
    // it, which saves a hand-off between threads per request.
    if (isFetchedAddress(info)) {
        return postCommunication(clsCommunicationKind::read, info, node,
                                 kind == clsJobKind::reload ? extraStartReload : extraStartRead);
    }
    info->addQueueRef();
    return pushRequest(Job{kind, info, 0, node});
}

bool clsQuillaraEngine::isFetchedAddress(clsUrlInformation* info)
{
    return info->getAddressKind() == addressNetwork &&
           clsCommunicationHttp::speaks(info->getScheme());
}

bool clsQuillaraEngine::queueRead(clsUrlInformation* info, int codeKind)
{
    return queueNodeRead(info, clsJobKind::read, codeKind);
}

bool clsQuillaraEngine::queueReload(clsUrlInformation* info)
{
    return queueNodeRead(info, clsJobKind::reload, 0);
}

bool clsQuillaraEngine::queueAnalyze(clsUrlInformation* info, clsQuillaraItem* node)
{
    return queueAnalysis(info, node, false);
}

bool clsQuillaraEngine::queueAnalysis(clsUrlInformation* info, clsQuillaraItem* node, bool announce)
{
    info->addQueueRef();
    return pushRequest(Job{clsJobKind::analyze, info, announce ? extraAnnounce : extraNone, node});
}

bool clsQuillaraEngine::queueStop()
{
    return pushRequest(Job{clsJobKind::stop, nullptr, 0, nullptr});
}

bool clsQuillaraEngine::registerItem(clsUrlInformation* info)
{
    std::lock_guard<std::recursive_mutex> registry(RegistryLock());
    byId[info->getId()] = info;
    // An address that another record already stands for keeps that record.
    byAddress.try_emplace({info->getLinkKind(), info->getAddress()}, info);
    return true;
}

bool clsQuillaraEngine::unregisterItem(clsUrlInformation* info)
{
    std::lock_guard<std::recursive_mutex> registry(RegistryLock());
    eraseEntries(info);
    return true;
}

void clsQuillaraEngine::eraseEntries(clsUrlInformation* info)
{
    auto byIdEntry = byId.find(info->getId());
    if (byIdEntry != byId.end() && byIdEntry->second == info)
        byId.erase(byIdEntry);
    auto byAddressEntry = byAddress.find({info->getLinkKind(), info->getAddress()});
    if (byAddressEntry != byAddress.end() && byAddressEntry->second == info)
        byAddress.erase(byAddressEntry);
}

clsUrlInformation* clsQuillaraEngine::findById(int id)
{
    std::lock_guard<std::recursive_mutex> registry(RegistryLock());
    auto found = byId.find(id);
    if (found == byId.end())
        return nullptr;
    found->second->addQueueRef();
    return found->second;
}

clsUrlInformation* clsQuillaraEngine::findByAddress(int kind, const std::string& address)
{
    std::lock_guard<std::recursive_mutex> registry(RegistryLock());
    auto found = byAddress.find({kind, clsUrlInformation::normaliseAddress(address)});
    if (found == byAddress.end())
        return nullptr;
    found->second->addQueueRef();
    return found->second;
}

std::size_t clsQuillaraEngine::getRegisteredCount()
{
    std::lock_guard<std::recursive_mutex> registry(RegistryLock());
    return byId.size();
}

bool clsQuillaraEngine::getActivity(int& state, int& a, int& b)
{
    state = 0;
    a = 0;
    b = 0;
    std::lock_guard<std::mutex> guard(workersLock);
    for (auto& worker : workers) {
        int activity = worker ? worker->getActivity() : 0;
        if (activity != 0) {
            state = activity;
            break;
        }
    }
    return true;
}

clsQuillaraItem* clsQuillaraEngine::makeNode(int linkKind)
{
    return options.nodeFactory ? options.nodeFactory(linkKind) : createAnalysisNode(linkKind);
}

const clsEngineOptions& clsQuillaraEngine::getOptions() const
{
    return options;
}

clsSendPacer& clsQuillaraEngine::getPacer()
{
    return *pacer;
}

// The engine thread serves its queue in rounds: it takes every job that is waiting, runs them
// in order, and posts the final notifications of the round together, so that the
// user-interface thread wakes once for all of them. After a round it rests a moment before it
// looks again: the jobs that come meanwhile make the next round, and the workers that push
// them find nobody to wake. An idle engine thread sleeps until a job comes and takes it at
// once.
void clsQuillaraEngine::threadEngine()
{
    // Named for profilers and debuggers.
    pthread_setname_np(pthread_self(), "qlr-engine");
    std::vector<Job> round;
    bool rest = false;
    for (;;) {
        if (rest)
            std::this_thread::sleep_for(roundPause);
        {
            std::unique_lock<std::mutex> guard(requestLock);
            requestEvent.wait(guard, [this] { return stopping || !requestQueue.empty(); });
            if (stopping)
                break;
            round.assign(requestQueue.begin(), requestQueue.end());
            requestQueue.clear();
        }
        runRound(round);
        rest = true;
    }
}

void clsQuillaraEngine::runRound(std::vector<Job>& round)
{
    std::size_t ran = 0;
    for (; ran < round.size(); ++ran) {
        Job& job = round[ran];
        // A stop or a shut-down acts on the jobs still waiting: the rest of the round goes back
        // to the head of the queue first, as if it had never been taken.
        bool stopJob = job.is(clsJobKind::stop);
        if (stopJob || isStopping()) {
            std::lock_guard<std::mutex> guard(requestLock);
            requestQueue.insert(
                requestQueue.begin(),
                round.begin() + static_cast<std::ptrdiff_t>(ran + (stopJob ? 1 : 0)), round.end());
            round.resize(ran + (stopJob ? 1 : 0));
            if (!stopJob)
                break;
        }
        // Only analysis passes keep their notifications for the end of the round: whatever
        // else a job tells goes after what came before it.
        if (!job.is(clsJobKind::analyze))
            flushNotices();
        try {
            runJob(job);
        } catch (const std::exception& e) {
            assert(!"exception in an engine job");
            logErrorAs("clsQuillaraEngine::threadEngine", e.what());
        }
    }
    flushNotices();
    for (Job& job : round)
        releaseJob(job);
    round.clear();
}

bool clsQuillaraEngine::isStopping()
{
    std::lock_guard<std::mutex> guard(requestLock);
    return stopping;
}

bool clsQuillaraEngine::runJob(Job& job)
{
    auto* info = dynamic_cast<clsUrlInformation*>(job.object);
    switch (job.jobKind()) {
    case clsJobKind::head: return info != nullptr && head(info);
    case clsJobKind::read: return info != nullptr && read(job, false);
    case clsJobKind::reload: return info != nullptr && read(job, true);
    case clsJobKind::analyze: return info != nullptr && analyze(job);
    case clsJobKind::stop: return stop();
    case clsJobKind::snapshot: return snapshot(job);
    default: assert(!"unknown engine job"); return false;
    }
}

void clsQuillaraEngine::releaseJob(Job& job)
{
    if (job.node != nullptr)
        job.node->release();
    job.node = nullptr;
    if (job.object != nullptr)
        job.object->releaseQueueRef();
    job.object = nullptr;
}

// The head-only path: a GET whose body is not read, reported by 3028.
bool clsQuillaraEngine::head(clsUrlInformation* info)
{
    return postCommunication(clsCommunicationKind::head, info, nullptr);
}

bool clsQuillaraEngine::read(Job& job, bool reload)
{
    bool needsNetwork = false;
    bool ok = startRead(job, reload, needsNetwork);
    if (!ok || !needsNetwork)
        return ok;
    clsQuillaraItem* node = job.node;
    job.node = nullptr;
    return postCommunication(clsCommunicationKind::read,
                             static_cast<clsUrlInformation*>(job.object), node);
}

bool clsQuillaraEngine::startRead(Job& job, bool reload, bool& needsNetwork)
{
    auto* info = static_cast<clsUrlInformation*>(job.object);
    clsQuillaraItem* node = job.node;
    needsNetwork = false;
    if (node == nullptr)
        return logErrorAs("clsQuillaraEngine::read", msgReadFailed);
    if (info->getAddressKind() == addressNetwork && !isFetchedAddress(info)) {
        // Nothing fetches this scheme: the request ends untried, with no page.
        info->setStatus(clsRequestStatus::unchecked);
        job.node = nullptr;
        node->markFinalTold();
        return postNode(WM_ENGINE_NODE_READ, info, node);
    }
    needsNetwork = info->getAddressKind() == addressNetwork;
    if (!node->read(needsNetwork, reload)) {
        logErrorAs("clsQuillaraEngine::read", msgReadFailed);
        needsNetwork = false;
        info->setResultCode(resultTransportError);
        info->setStatus(clsRequestStatus::failed);
        job.node = nullptr;
        return postNode(WM_ENGINE_NODE_READ, info, node);
    }
    if (needsNetwork)
        return true;
    // Nothing more will arrive: a request the node did not end is ended here, so that it
    // never stays "reading".
    if (info->getStatus() == clsRequestStatus::reading) {
        bool parsed = info->getAddressKind() != addressNotParsed;
        if (!parsed)
            info->setResultCode(resultTransportError);
        info->setStatus(parsed ? clsRequestStatus::complete : clsRequestStatus::failed);
        node->setTransferEnded();
    }
    // 3025 goes out before the pass is queued: on a worker, the engine thread could otherwise
    // run the pass and tell 3027 first.
    node->addRef();
    job.node = nullptr;
    bool told = postNode(WM_ENGINE_NODE_CREATED, info, node);
    if (!queueAnalyze(info, node)) {
        node->release();
        return logErrorAs("clsQuillaraEngine::read", msgAnalyzeQueueFailed);
    }
    return told;
}

bool clsQuillaraEngine::analyze(Job& job)
{
    auto* info = static_cast<clsUrlInformation*>(job.object);
    clsQuillaraItem* node = job.node;
    if (node == nullptr)
        return true;
    bool complete = false;
    node->clearAnalysisQueued();
    // A pass queued while the one before was completing the analysis has nothing left to
    // tell: the final notification has gone out once.
    if (node->getAnalysedCount() < 0)
        return true;
    if (!node->analyze(complete)) {
        logError(msgAnalyzeFailed);
        if (!node->isTransferEnded())
            return false;
        complete = true;
    }
    unsigned messages[2] = {WM_ENGINE_NODE_CREATED, 0};
    std::size_t count = job.extra == extraAnnounce ? 1 : 0;
    if (complete) {
        messages[count++] = WM_ENGINE_NODE_READ;
        return tellAtRoundEnd(messages, count, info, node);
    }
    // A request that failed meanwhile has had its final notification.
    if (window != nullptr && info->getStatus() != clsRequestStatus::failed)
        messages[count++] = WM_ENGINE_NODE_READING;
    return postNodes(messages, count, info, node);
}

// The job keeps node (and its record) until the round is over, so both are there when the
// notifications go out.
bool clsQuillaraEngine::tellAtRoundEnd(const unsigned* messages, std::size_t count,
                                       clsUrlInformation* info, clsQuillaraItem* node)
{
    if (window == nullptr) {
        node->markFinalTold();
        return true;
    }
    for (std::size_t i = 0; i < count; ++i) {
        node->addRef();
        roundNotices.push_back(platform::Message{messages[i],
                                                 static_cast<std::uintptr_t>(info->getId()),
                                                 reinterpret_cast<std::intptr_t>(node)});
    }
    roundFinals.push_back(node);
    return true;
}

// Posting and marking happen under the registry lock, where requestItem decides whether to
// tell a complete request again: it sees the final notification either not yet posted (and
// leaves it to that one) or posted and marked.
void clsQuillaraEngine::flushNotices()
{
    if (roundNotices.empty())
        return;
    std::lock_guard<std::recursive_mutex> registry(RegistryLock());
    std::size_t posted = window->postAll(roundNotices.data(), roundNotices.size());
    for (std::size_t i = posted; i < roundNotices.size(); ++i) {
        if (i == posted)
            logError(postFailureText(roundNotices[i].id));
        reinterpret_cast<clsQuillaraItem*>(roundNotices[i].lParam)->release();
    }
    for (clsQuillaraItem* node : roundFinals)
        node->markFinalTold();
    roundNotices.clear();
    roundFinals.clear();
}

// The queues are emptied while the workers are down: restarted workers would otherwise
// take the jobs that the cancel is meant to drop.
bool clsQuillaraEngine::stop()
{
    std::lock_guard<std::mutex> workersGuard(workersLock);
    stopWorkers();
    std::deque<Job> requests;
    std::deque<Job> communications;
    // requestItem marks a request reading and queues its read under the registry lock, so the
    // queues are emptied under it too: a read queued meanwhile is either taken here or queued
    // after its request was marked, never left running for a request marked failed.
    {
        std::lock_guard<std::recursive_mutex> registry(RegistryLock());
        takeQueuedJobs(requests, communications);
        for (auto& [id, info] : byId) {
            if (info->getStatus() != clsRequestStatus::reading)
                continue;
            info->setResultCode(resultTransportError);
            info->setStatus(clsRequestStatus::failed);
        }
    }
    startWorkers();
    dropJobs(communications, true, true);
    dropJobs(requests, true, false);
    return true;
}

void clsQuillaraEngine::takeQueuedJobs(std::deque<Job>& requests, std::deque<Job>& communications)
{
    {
        std::lock_guard<std::mutex> guard(requestLock);
        requests.swap(requestQueue);
    }
    std::lock_guard<std::mutex> guard(communicationLock);
    communications.swap(communicationQueue);
    clearCommunicationCounts();
}

// Gives back what dropped jobs hold. With notify, a request whose read never started, or
// whose final pass was dropped, gets its one 3027, so that the tree shows its final status.
void clsQuillaraEngine::dropJobs(std::deque<Job>& jobs, bool notify, bool communication)
{
    std::set<clsQuillaraItem*> told;
    for (Job& job : jobs) {
        // A file of a snapshot: the snapshot ends (stopped) with its last one.
        if (auto* fetch = dynamic_cast<clsSnapshotFetch*>(job.object)) {
            fetch->getSnapshot()->fetchDropped(*fetch);
            releaseJob(job);
            continue;
        }
        // A snapshot that never ran still ends with its one completion.
        if (auto* dropped = dynamic_cast<clsQuillaraSnapshot*>(job.object)) {
            job.object = nullptr;
            dropped->markDropped();
            finishSnapshot(dropped);
            continue;
        }
        auto* info = dynamic_cast<clsUrlInformation*>(job.object);
        // The pass of a page whose data is all in owes its final notification unless that has
        // gone out; the request's status may already speak for a newer read.
        bool unreported = isReadJob(job, communication) ||
                          (!communication && job.is(clsJobKind::analyze) && job.node != nullptr &&
                           job.node->isTransferEnded() && !job.node->isFinalTold());
        if (notify && info != nullptr && job.node != nullptr && unreported &&
            told.insert(job.node).second) {
            // A page that was to be announced with its pass is announced here.
            const unsigned messages[2] = {WM_ENGINE_NODE_CREATED, WM_ENGINE_NODE_READ};
            bool announce =
                !communication && job.is(clsJobKind::analyze) && job.extra == extraAnnounce;
            std::lock_guard<std::recursive_mutex> registry(RegistryLock());
            postNodes(announce ? messages : messages + 1, announce ? 2 : 1, info, job.node);
            job.node->markFinalTold();
        }
        releaseJob(job);
    }
    jobs.clear();
}

bool clsQuillaraEngine::postNode(unsigned message, clsUrlInformation* info, clsQuillaraItem* node)
{
    if (window == nullptr) {
        node->release();
        return true;
    }
    if (window->post(message, static_cast<std::uintptr_t>(info->getId()),
                     reinterpret_cast<std::intptr_t>(node)))
        return true;
    node->release();
    return logError(postFailureText(message));
}

bool clsQuillaraEngine::postNodes(const unsigned* messages, std::size_t count,
                                  clsUrlInformation* info, clsQuillaraItem* node)
{
    if (count == 0 || window == nullptr)
        return true;
    platform::Message batch[2];
    count = std::min<std::size_t>(count, 2);
    for (std::size_t i = 0; i < count; ++i) {
        node->addRef();
        batch[i] = platform::Message{messages[i], static_cast<std::uintptr_t>(info->getId()),
                                     reinterpret_cast<std::intptr_t>(node)};
    }
    std::size_t posted = window->postAll(batch, count);
    for (std::size_t i = posted; i < count; ++i)
        node->release();
    if (posted == count)
        return true;
    return logError(postFailureText(messages[posted]));
}

bool clsQuillaraEngine::postHead(clsUrlInformation* info)
{
    if (window == nullptr)
        return true;
    if (window->post(WM_ENGINE_HEAD_READ, static_cast<std::uintptr_t>(info->getId()), 0))
        return true;
    return logErrorAs("clsCommunicationManager::readHead", msgCreatedPostFailed);
}

bool clsQuillaraEngine::postCommunication(clsCommunicationKind kind, clsUrlInformation* info,
                                          clsQuillaraItem* node, int extra)
{
    info->addQueueRef();
    Job job{kind, info, extra, node};
    job.host = pacedHost(job);
    bool idle = false;
    bool startable = true;
    {
        std::lock_guard<std::mutex> guard(communicationLock);
        // A job that cannot start now (the transfers it would join are all under way) wakes
        // nobody: whoever ends one of those transfers looks at the queue again.
        if (!job.host.empty()) {
            auto held = hostTransfers.find(job.host);
            startable = transfersInFlight < options.maxTransfers &&
                        (held == hostTransfers.end() || held->second < hostLimit());
        }
        idle = queueCommunication(std::move(job));
    }
    if (startable)
        announceJob(idle);
    return true;
}

void clsQuillaraEngine::announceJob(bool idle)
{
    if (idle) {
        communicationEvent.notify_one();
        return;
    }
    std::lock_guard<std::mutex> guard(wakersLock);
    if (wakers.empty())
        return;
    wakers[nextWaker++ % wakers.size()]->wake();
}

void clsQuillaraEngine::addWaker(clsCommunicationManager* worker)
{
    std::lock_guard<std::mutex> guard(wakersLock);
    wakers.push_back(worker);
}

void clsQuillaraEngine::removeWaker(clsCommunicationManager* worker)
{
    std::lock_guard<std::mutex> guard(wakersLock);
    std::erase(wakers, worker);
}

namespace {

// Jobs that run whole on a worker (a snapshot, one of its files) rather than as a transfer.
bool runsWhole(const clsQuillaraEngine::Job& job)
{
    return job.is(clsCommunicationKind::snapshot) || job.is(clsCommunicationKind::snapshotFetch);
}

} // namespace

// A job is taken with its pacing turn: with pacing per host the first job whose host may
// send now, so that a host that must wait holds no place while other hosts are ready;
// program-wide, the queue is served in order. Transfers are taken while fewer than
// MaxTransfers are in flight, and skipped while their host has as many as it may (one with
// pacing per host, else one per worker). A worker that drives transfers takes no snapshot:
// it stops at one, so that it ends its transfers and then takes it.
std::deque<clsQuillaraEngine::Job>::iterator clsQuillaraEngine::findReadyJob(std::uint64_t& readyAt,
                                                                             bool busy)
{
    readyAt = 0;
    bool perHost = pacer->pacesPerHost();
    // A host found waiting is marked with this scan's number; its later jobs are passed over.
    std::uint64_t scan = ++scanCount;
    // Once every queued host is found waiting, and nothing else is queued, the rest of the
    // queue holds nothing ready.
    int hostsLeft = queuedOthers == 0 ? queuedHosts : -1;
    auto waiting = [&](const Job& job) {
        return hostMarks[static_cast<std::size_t>(job.hostSlot)] == scan;
    };
    auto markWaiting = [&](const Job& job) {
        hostMarks[static_cast<std::size_t>(job.hostSlot)] = scan;
        return --hostsLeft == 0;
    };
    auto sooner = [&](std::uint64_t hostReady) {
        readyAt = readyAt == 0 ? hostReady : std::min(readyAt, hostReady);
    };
    for (auto it = communicationQueue.begin(); it != communicationQueue.end(); ++it) {
        const std::string& host = it->host;
        if (runsWhole(*it)) {
            if (busy)
                return communicationQueue.end();
            if (host.empty() || !perHost)
                return it;
            if (waiting(*it))
                continue;
            std::uint64_t hostReady = 0;
            if (pacer->tryTurn(host, hostReady))
                return it;
            sooner(hostReady);
            if (markWaiting(*it))
                break;
            continue;
        }
        if (host.empty())
            return it;
        if (transfersInFlight >= options.maxTransfers)
            return communicationQueue.end();
        if (waiting(*it))
            continue;
        auto held = hostTransfers.find(host);
        if (held != hostTransfers.end() && held->second >= hostLimit()) {
            if (markWaiting(*it))
                break;
            continue;
        }
        std::uint64_t hostReady = 0;
        if (pacer->tryRelease(host, hostReady)) {
            ++transfersInFlight;
            it->counted = true;
            ++hostTransfers[host];
            return it;
        }
        sooner(hostReady);
        if (!perHost || markWaiting(*it))
            break;
    }
    return communicationQueue.end();
}

// A job of no host or a snapshot counts among the others: a scan with one queued looks at
// the whole queue.
bool clsQuillaraEngine::queueCommunication(Job&& job)
{
    if (!job.host.empty()) {
        auto [slot, added] = hostSlots.try_emplace(job.host, static_cast<int>(hostSlots.size()));
        if (added) {
            hostMarks.push_back(0);
            hostQueued.push_back(0);
        }
        job.hostSlot = slot->second;
    }
    if (job.host.empty() || runsWhole(job))
        ++queuedOthers;
    else if (hostQueued[static_cast<std::size_t>(job.hostSlot)]++ == 0)
        ++queuedHosts;
    communicationQueue.push_back(std::move(job));
    ++queueVersion;
    return idleWorkers > 0;
}

clsQuillaraEngine::Job clsQuillaraEngine::unqueueCommunication(std::deque<Job>::iterator job)
{
    if (job->host.empty() || runsWhole(*job))
        --queuedOthers;
    else if (--hostQueued[static_cast<std::size_t>(job->hostSlot)] == 0)
        --queuedHosts;
    Job taken = std::move(*job);
    communicationQueue.erase(job);
    return taken;
}

void clsQuillaraEngine::clearCommunicationCounts()
{
    std::fill(hostQueued.begin(), hostQueued.end(), 0);
    queuedHosts = 0;
    queuedOthers = 0;
}

bool clsQuillaraEngine::waitCommunication(const std::atomic<bool>& workerStopping, Job& job)
{
    std::unique_lock<std::mutex> guard(communicationLock);
    auto next = communicationQueue.end();
    ++idleWorkers;
    for (;;) {
        communicationEvent.wait(
            guard, [&] { return workerStopping.load() || !communicationQueue.empty(); });
        if (workerStopping) {
            --idleWorkers;
            return false;
        }
        std::uint64_t readyAt = 0;
        next = findReadyJob(readyAt, false);
        if (next != communicationQueue.end())
            break;
        std::uint64_t now = pacer->now();
        std::uint64_t wait =
            readyAt > now ? std::min(readyAt - now, readyRecheckMs) : readyRecheckMs;
        communicationEvent.wait_for(guard, std::chrono::milliseconds(wait));
    }
    --idleWorkers;
    job = unqueueCommunication(next);
    bool more = !communicationQueue.empty();
    guard.unlock();
    if (more)
        communicationEvent.notify_one();
    return true;
}

bool clsQuillaraEngine::takeCommunication(Job& job, std::uint64_t& readyAt)
{
    std::lock_guard<std::mutex> guard(communicationLock);
    if (communicationQueue.empty()) {
        readyAt = 0;
        return false;
    }
    auto next = findReadyJob(readyAt, true);
    if (next == communicationQueue.end())
        return false;
    job = unqueueCommunication(next);
    return true;
}

// No idle worker is woken: the worker that ended the transfer has room for one more and
// looks at the queue before it waits again.
void clsQuillaraEngine::endTransfer(const std::string& host, bool releaseHost)
{
    std::lock_guard<std::mutex> guard(communicationLock);
    --transfersInFlight;
    if (releaseHost)
        dropHost(host);
    ++queueVersion;
}

int clsQuillaraEngine::hostLimit() const
{
    return pacer->pacesPerHost() ? 1 : static_cast<int>(workers.size());
}

void clsQuillaraEngine::dropHost(const std::string& host)
{
    auto held = hostTransfers.find(host);
    if (held != hostTransfers.end() && --held->second <= 0)
        hostTransfers.erase(held);
}

bool clsQuillaraEngine::claimHost(const std::string& host)
{
    std::lock_guard<std::mutex> guard(communicationLock);
    int& count = hostTransfers[host];
    if (count >= hostLimit())
        return false;
    ++count;
    return true;
}

void clsQuillaraEngine::releaseHost(const std::string& host)
{
    bool waiting = false;
    {
        std::lock_guard<std::mutex> guard(communicationLock);
        dropHost(host);
        ++queueVersion;
        waiting = !communicationQueue.empty() && idleWorkers > 0;
    }
    if (waiting)
        communicationEvent.notify_one();
}

std::uint64_t clsQuillaraEngine::getQueueVersion() const
{
    return queueVersion.load();
}

std::size_t clsQuillaraEngine::getTransferShare() const
{
    std::size_t limit = static_cast<std::size_t>(std::max(options.maxTransfers, 1));
    return std::max<std::size_t>(1, (limit + workers.size() - 1) / workers.size());
}

void clsQuillaraEngine::wakeWorkers()
{
    {
        std::lock_guard<std::mutex> guard(communicationLock);
    }
    communicationEvent.notify_all();
}

bool clsQuillaraEngine::handleMessage(const platform::Message& message)
{
    if (isNodeMessage(message.id)) {
        int id = static_cast<int>(message.wParam);
        auto* node = reinterpret_cast<clsQuillaraItem*>(message.lParam);
        bool admitted = false;
        {
            std::lock_guard<std::recursive_mutex> registry(RegistryLock());
            auto found = byId.find(id);
            // A node that a newer, already delivered read replaced speaks no more for the request.
            admitted = found != byId.end() && node != nullptr &&
                       found->second->admitRead(node->getReadNumber());
        }
        clsNodePhase phase = phaseOf(message.id);
        try {
            if (admitted && node->admitDelivery(phase) && target != nullptr)
                target->onNodeNotify(id, node, phase);
        } catch (const std::exception& e) {
            logError(e.what());
        }
        if (node != nullptr)
            node->release();
        return true;
    }
    if (message.id == WM_ENGINE_SNAPSHOT_SAVED) {
        std::unique_ptr<clsSnapshotReport> report(
            reinterpret_cast<clsSnapshotReport*>(message.lParam));
        try {
            if (target != nullptr && report)
                target->onSnapshotNotify(report->id, *report, clsSnapshotPhase::saved);
        } catch (const std::exception& e) {
            logError(e.what());
        }
        return true;
    }
    if (message.id == WM_ENGINE_SNAPSHOT_DONE) {
        std::unique_ptr<clsQuillaraSnapshot> ended(
            reinterpret_cast<clsQuillaraSnapshot*>(message.lParam));
        try {
            if (target != nullptr && ended) {
                clsSnapshotReport report = ended->makeReport(true);
                report.finished = true;
                target->onSnapshotNotify(report.id, report, clsSnapshotPhase::ended);
            }
        } catch (const std::exception& e) {
            logError(e.what());
        }
        return true;
    }
    if (message.id == WM_ENGINE_HEAD_READ) {
        clsUrlInformation* info = findById(static_cast<int>(message.wParam));
        if (info == nullptr)
            return true;
        try {
            if (target != nullptr)
                target->onHeadNotify(info->getId(), info->getLinkKind(), info->getAddress(),
                                     info->getFileName(), info->getProtocol(),
                                     info->getContentLength(), info->getLastModifiedText());
        } catch (const std::exception& e) {
            logError(e.what());
        }
        info->releaseQueueRef();
        return true;
    }
    return false;
}

void clsQuillaraEngine::DiscardMessage(const platform::Message& message)
{
    if (message.id == WM_ENGINE_SNAPSHOT_SAVED) {
        delete reinterpret_cast<clsSnapshotReport*>(message.lParam);
        return;
    }
    if (message.id == WM_ENGINE_SNAPSHOT_DONE) {
        delete reinterpret_cast<clsQuillaraSnapshot*>(message.lParam);
        return;
    }
    if (!isNodeMessage(message.id) || message.lParam == 0)
        return;
    reinterpret_cast<clsQuillaraItem*>(message.lParam)->release();
}

bool clsQuillaraEngine::startSnapshot(int mode, const std::string& url, const std::string& folder,
                                      int& id)
{
    id = -1;
    if (!running)
        return false;
    auto snapshot = std::make_unique<clsQuillaraSnapshot>(this);
    if (!snapshot->setup(mode, url, folder, id))
        return false;
    snapshot.release(); // the queues and the running set hold it until its 3030
    return true;
}

bool clsQuillaraEngine::queueSnapshot(clsQuillaraSnapshot* snapshot, int& id)
{
    id = nextId();
    snapshot->setQueueId(id);
    {
        std::lock_guard<std::mutex> guard(snapshotLock);
        snapshots[id] = snapshot;
    }
    return pushRequest(Job{clsJobKind::snapshot, snapshot, 0, nullptr});
}

bool clsQuillaraEngine::cancelSnapshot(int id)
{
    std::lock_guard<std::mutex> guard(snapshotLock);
    auto found = snapshots.find(id);
    if (found == snapshots.end())
        return false;
    found->second->cancel();
    return true;
}

bool clsQuillaraEngine::stopSnapshot(int id)
{
    std::lock_guard<std::mutex> guard(snapshotLock);
    auto found = snapshots.find(id);
    if (found == snapshots.end())
        return false;
    found->second->stop();
    return true;
}

std::size_t clsQuillaraEngine::getSnapshotCount()
{
    std::lock_guard<std::mutex> guard(snapshotLock);
    return snapshots.size();
}

// Job 4: the snapshot runs on a worker. The job lets go of it first: once it is in the
// communication queue it may end and be deleted at any moment.
bool clsQuillaraEngine::snapshot(Job& job)
{
    auto* snapshot = dynamic_cast<clsQuillaraSnapshot*>(job.object);
    job.object = nullptr;
    if (snapshot == nullptr)
        return false;
    bool idle = false;
    {
        std::lock_guard<std::mutex> guard(communicationLock);
        idle = queueCommunication(Job{clsCommunicationKind::snapshot, snapshot, 0, nullptr});
    }
    announceJob(idle);
    return true;
}

bool clsQuillaraEngine::postSnapshotFetch(clsSnapshotFetch* fetch)
{
    bool idle = false;
    {
        std::lock_guard<std::mutex> guard(communicationLock);
        Job job{clsCommunicationKind::snapshotFetch, fetch, 0, nullptr};
        job.host = fetch->getHost();
        idle = queueCommunication(std::move(job));
    }
    announceJob(idle);
    return true;
}

bool clsQuillaraEngine::postSnapshotSaved(clsQuillaraSnapshot* snapshot)
{
    if (window == nullptr)
        return true;
    auto report = std::make_unique<clsSnapshotReport>(snapshot->makeReport(false));
    if (!window->post(WM_ENGINE_SNAPSHOT_SAVED, 0, reinterpret_cast<std::intptr_t>(report.get())))
        return logError("PostMessage WM_ENGINE_SNAPSHOT_SAVED");
    report.release();
    return true;
}

bool clsQuillaraEngine::finishSnapshot(clsQuillaraSnapshot* snapshot)
{
    {
        std::lock_guard<std::mutex> guard(snapshotLock);
        snapshots.erase(snapshot->getQueueId());
    }
    if (window != nullptr &&
        window->post(WM_ENGINE_SNAPSHOT_DONE, 0, reinterpret_cast<std::intptr_t>(snapshot)))
        return true;
    delete snapshot;
    return window == nullptr;
}

bool clsQuillaraEngine::acquireEngine(clsEngineTarget* target, platform::MessageTarget* window)
{
    std::lock_guard<std::mutex> guard(g_engineLock);
    if (g_engineUses == 0) {
        g_engine = std::make_unique<clsQuillaraEngine>();
        if (!g_engine->init(target, window, clsEngineOptions::fromSettings())) {
            g_engine.reset();
            return logError(utlTexts::sjis(utlText::engineInitFailed));
        }
        g_enginePointer = g_engine.get();
    }
    ++g_engineUses;
    return true;
}

bool clsQuillaraEngine::releaseEngine()
{
    std::lock_guard<std::mutex> guard(g_engineLock);
    if (g_engineUses == 0)
        return false;
    if (--g_engineUses > 0)
        return true;
    g_enginePointer = nullptr;
    bool ok = g_engine->term();
    g_engine.reset();
    return ok;
}

clsQuillaraEngine* clsQuillaraEngine::getEngine()
{
    return g_enginePointer.load();
}
