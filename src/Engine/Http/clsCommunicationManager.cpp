#include "Engine/Http/clsCommunicationManager.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Engine/Http/clsCommunicationHttp.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Snapshot/clsQuillaraSnapshot.h"
#include "Engine/Snapshot/clsSnapshotFetch.h"
#include "Engine/Http/clsSendPacer.h"
#include "Engine/Http/clsTransfer.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Platform/Tick.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <pthread.h>
#include <random>

namespace {

const char* const msgTransportInitFailed = utlTexts::sjis(utlText::communicationInitFailed);
// A worker that drives transfers looks at them at least this often (time-outs).
constexpr std::uint64_t driveStepMs = 100;

} // namespace

clsCommunicationManager::clsCommunicationManager(clsQuillaraEngine* engine) : engine(engine)
{
    countCreated("clsCommunicationManager");
}

clsCommunicationManager::~clsCommunicationManager()
{
    term();
    countDestroyed("clsCommunicationManager");
}

bool clsCommunicationManager::init()
{
    if (thread.joinable())
        return true;
    stopping = false;
    activity = 0;
    thread = std::thread(&clsCommunicationManager::threadBody, this);
    return true;
}

// The transfers under way are cancelled and the wait for the thread is short: the worker's
// multi handle is woken, and a snapshot's transport polls the cancel mark.
bool clsCommunicationManager::term()
{
    if (!thread.joinable())
        return true;
    stopping = true;
    engine->wakeWorkers();
    wake();
    {
        std::lock_guard<std::mutex> guard(transportLock);
        if (transport)
            transport->cancel();
    }
    thread.join();
    return true;
}

int clsCommunicationManager::getActivity() const
{
    return activity;
}

void clsCommunicationManager::wake()
{
    std::lock_guard<std::mutex> guard(multiLock);
    if (multi != nullptr)
        curl_multi_wakeup(multi);
}

void clsCommunicationManager::threadBody()
{
    pthread_setname_np(pthread_self(), "qlr-worker");
    {
        std::lock_guard<std::mutex> guard(multiLock);
        multi = curl_multi_init();
        // With pacing per host one connection at a time talks to a host.
        if (engine->getPacer().pacesPerHost())
            curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, 1L);
    }
    seed = std::random_device{}();
    engine->addWaker(this);
    clsQuillaraEngine::Job job;
    while (!stopping) {
        if (transfers.empty()) {
            activity = 0;
            if (!engine->waitCommunication(stopping, job))
                break;
            activity = 1;
            runJob(job);
            continue;
        }
        activity = 1;
        takeJobs();
        drive();
    }
    endTransfers();
    engine->removeWaker(this);
    {
        std::lock_guard<std::mutex> guard(transportLock);
        if (transport) {
            transport->term();
            transport.reset();
        }
    }
    for (CURL* easy : spareHandles)
        curl_easy_cleanup(easy);
    spareHandles.clear();
    {
        std::lock_guard<std::mutex> guard(multiLock);
        curl_multi_cleanup(multi);
        multi = nullptr;
    }
    activity = -1;
}

void clsCommunicationManager::runJob(clsQuillaraEngine::Job& job)
{
    auto* info = dynamic_cast<clsUrlInformation*>(job.object);
    try {
        if (job.is(clsCommunicationKind::snapshot)) {
            // The snapshot belongs to the engine again once it has run.
            auto* taken = dynamic_cast<clsQuillaraSnapshot*>(job.object);
            job.object = nullptr;
            if (taken != nullptr)
                snapshot(taken);
        }
        if (auto* fetch = dynamic_cast<clsSnapshotFetch*>(job.object)) {
            clsCommunicationHttp* used = ensureTransport() ? transport.get() : nullptr;
            fetch->getSnapshot()->runFetch(*fetch, used, stopping);
        }
        if (info != nullptr && job.is(clsCommunicationKind::head))
            readHead(info);
        if (info != nullptr && job.is(clsCommunicationKind::read) && startRead(job)) {
            if (!isFetched(info)) {
                // Only http, https, ftp and ftps are fetched. An address of another scheme
                // is not tried, so it is neither loaded nor failed; one that could not be
                // parsed fails, and so does one that names no server (see readHead).
                clsQuillaraItem* node = job.node;
                job.node = nullptr;
                bool network = info->getAddressKind() == addressNetwork;
                endRead(info, node,
                        network ? clsRequestStatus::unchecked : clsRequestStatus::failed,
                        resultTransportError);
            } else if (info->getHost().empty()) {
                clsQuillaraItem* node = job.node;
                job.node = nullptr;
                endRead(info, node, clsRequestStatus::failed, resultTransportError);
            }
        }
        if (job.counted && info != nullptr && job.object != nullptr &&
            (job.is(clsCommunicationKind::head) || job.node != nullptr))
            startTransfer(job);
    } catch (const std::exception& e) {
        logError(e.what());
    }
    // A job that took a transfer's place and started none gives the place back.
    if (job.counted)
        engine->endTransfer(job.host, true);
    if (job.node != nullptr)
        job.node->release();
    if (job.object != nullptr)
        job.object->releaseQueueRef();
    job = clsQuillaraEngine::Job{};
}

// The job's references go to the transfer, which the worker drives from now on.
void clsCommunicationManager::startTransfer(clsQuillaraEngine::Job& job)
{
    auto* info = static_cast<clsUrlInformation*>(job.object);
    auto transfer =
        std::make_unique<clsTransfer>(engine, multi, &spareHandles, info, job.node, seed++);
    job.object = nullptr;
    job.node = nullptr;
    job.counted = false;
    if (!transfer->start(platform::tickCount())) {
        transfer.reset();
        engine->endTransfer({}, false);
        return;
    }
    transfers.push_back(std::move(transfer));
}

// A worker that drives transfers takes more while it has room; never a snapshot.
void clsCommunicationManager::takeJobs()
{
    std::size_t share = engine->getTransferShare();
    while (transfers.size() < share && !stopping) {
        std::uint64_t version = engine->getQueueVersion();
        // Nothing has changed since the queue was last found with nothing ready.
        if (version == queueSeen && (queueReadyAt == 0 || platform::tickCount() < queueReadyAt))
            return;
        clsQuillaraEngine::Job job;
        std::uint64_t readyAt = 0;
        if (!engine->takeCommunication(job, readyAt)) {
            queueSeen = version;
            queueReadyAt = readyAt;
            return;
        }
        queueSeen = ~std::uint64_t{0};
        queueReadyAt = 0;
        runJob(job);
    }
}

// One round of the multi handle: wait for a socket, a due time or a wake, then move every
// transfer on.
void clsCommunicationManager::drive()
{
    std::uint64_t now = platform::tickCount();
    std::uint64_t until = now + driveStepMs;
    for (const auto& transfer : transfers)
        until = std::min(until, transfer->nextCheck());
    if (queueReadyAt != 0)
        until = std::min(until, std::max(queueReadyAt, now));
    int waitMs = until > now ? static_cast<int>(until - now) : 0;
    curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
    int running = 0;
    curl_multi_perform(multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        char* owner = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &owner);
        if (owner != nullptr)
            reinterpret_cast<clsTransfer*>(owner)->onDone(message->data.result);
    }
    stepTransfers(platform::tickCount());
}

void clsCommunicationManager::stepTransfers(std::uint64_t now)
{
    for (std::size_t i = 0; i < transfers.size();) {
        bool going = true;
        try {
            going = transfers[i]->step(now);
        } catch (const std::exception& e) {
            logError(e.what());
            transfers[i]->cancel();
            going = false;
        }
        if (going) {
            ++i;
            continue;
        }
        // The place and the host go back under one hold of the queue's lock.
        std::string host;
        bool held = transfers[i]->handOverHost(host);
        transfers[i] = std::move(transfers.back());
        transfers.pop_back();
        engine->endTransfer(host, held);
    }
}

// The worker is stopping: every transfer ends at once, failed and cancelled.
void clsCommunicationManager::endTransfers()
{
    for (auto& transfer : transfers) {
        transfer->cancel();
        transfer.reset();
        engine->endTransfer({}, false);
    }
    transfers.clear();
}

// A read that came straight from requestItem is started here; false when it needs no
// transfer (it has been told or handed to the analysis already).
bool clsCommunicationManager::startRead(clsQuillaraEngine::Job& job)
{
    if (job.extra != extraStartRead && job.extra != extraStartReload)
        return job.node != nullptr;
    bool needsNetwork = false;
    engine->startRead(job, job.extra == extraStartReload, needsNetwork);
    return needsNetwork && job.node != nullptr;
}

bool clsCommunicationManager::ensureTransport()
{
    std::lock_guard<std::mutex> guard(transportLock);
    if (!transport) {
        transport = std::make_unique<clsCommunicationHttp>(engine, engine->getOptions(),
                                                           &engine->getPacer());
        if (!transport->init()) {
            transport.reset();
            return logError(msgTransportInitFailed);
        }
    }
    // A stop that came while the transport was being made must still reach it.
    if (stopping)
        transport->cancel();
    return true;
}

bool clsCommunicationManager::isFetched(clsUrlInformation* info) const
{
    return info->getAddressKind() == addressNetwork &&
           clsCommunicationHttp::speaks(info->getScheme());
}

// Ends the read with its final notification, which carries the read's node reference.
bool clsCommunicationManager::endRead(clsUrlInformation* info, clsQuillaraItem* node,
                                      clsRequestStatus status, int result)
{
    if (status == clsRequestStatus::failed)
        info->setResultCode(result);
    info->setStatus(status);
    node->markFinalTold();
    return engine->postNode(WM_ENGINE_NODE_READ, info, node);
}

bool clsCommunicationManager::snapshot(clsQuillaraSnapshot* taken)
{
    clsCommunicationHttp* used = ensureTransport() ? transport.get() : nullptr;
    return taken->run(used, stopping);
}

// A head-only request of an address that is not fetched ends at once; else its transfer
// reports it, unless the address names no server (http:///x): that one cannot be sent, and
// libcurl would take the first step of its path for the server, so it fails at once.
void clsCommunicationManager::readHead(clsUrlInformation* info)
{
    bool fetched = isFetched(info);
    if (fetched && !info->getHost().empty())
        return;
    if (fetched)
        info->setResultCode(resultTransportError);
    info->setStatus(fetched ? clsRequestStatus::failed : clsRequestStatus::headRead);
    engine->postHead(info);
}
