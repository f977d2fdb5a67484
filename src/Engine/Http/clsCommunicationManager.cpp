#include "Engine/Http/clsCommunicationManager.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Engine/Http/clsCommunicationHttp.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Snapshot/clsQuillaraSnapshot.h"
#include "Engine/Snapshot/clsSnapshotFetch.h"
#include "Engine/Http/clsUrlInformation.h"

#include <cstdlib>
#include <exception>
#include <pthread.h>

namespace {

const char* const msgTransportInitFailed = utlTexts::sjis(utlText::communicationInitFailed);
const char* const msgTransportStartFailed = utlTexts::sjis(utlText::communicationStartFailed);

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

// The transfer under way is cancelled and the wait for the thread is short: every wait of
// the transport polls the cancel mark.
bool clsCommunicationManager::term()
{
    if (!thread.joinable())
        return true;
    stopping = true;
    engine->wakeWorkers();
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

void clsCommunicationManager::threadBody()
{
    pthread_setname_np(pthread_self(), "qlr-worker");
    clsQuillaraEngine::Job job;
    while (engine->waitCommunication(stopping, job)) {
        activity = 1;
        auto* info = dynamic_cast<clsUrlInformation*>(job.object);
        try {
            if (job.kind == communicationSnapshot) {
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
            if (info != nullptr && job.kind == communicationHead)
                readHead(info);
            if (info != nullptr && job.kind == communicationRead && startRead(job)) {
                clsQuillaraItem* node = job.node;
                job.node = nullptr;
                read(info, node);
            }
        } catch (const std::exception& e) {
            logError("clsCommunicationManager::read", e.what());
        }
        if (job.node != nullptr)
            job.node->release();
        if (job.object != nullptr)
            job.object->releaseQueueRef();
        job = clsQuillaraEngine::Job{};
        activity = 0;
    }
    std::lock_guard<std::mutex> guard(transportLock);
    if (transport) {
        transport->term();
        transport.reset();
    }
    activity = -1;
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
            return logError("clsCommunicationManager::read", msgTransportInitFailed);
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

bool clsCommunicationManager::read(clsUrlInformation* info, clsQuillaraItem* node)
{
    // Only http, https, ftp and ftps are fetched. An address of another scheme is not tried,
    // so it is neither loaded nor failed; an address that could not be parsed fails.
    if (!isFetched(info)) {
        bool network = info->getAddressKind() == addressNetwork;
        return endRead(info, node, network ? clsRequestStatus::unchecked : clsRequestStatus::failed,
                       resultTransportError);
    }
    if (!ensureTransport())
        return endRead(info, node, clsRequestStatus::failed, resultTransportError);
    if (!transport->readStart(info))
        return endRead(info, node, clsRequestStatus::failed, transport->getFailureCode());
    int code = std::atoi(info->getStatusCode().c_str());
    if (code >= 400) {
        transport->closeRequest();
        return endRead(info, node, clsRequestStatus::failed, code);
    }
    // A page that is not text is not analysed: it ends complete with its header recorded.
    if (info->getContentType().find("text/") == std::string::npos) {
        transport->closeRequest();
        return endRead(info, node, clsRequestStatus::complete, 0);
    }
    // A small page whose body came just after its header is still taken whole: the page is
    // announced when its first block is in, not before.
    if (!transport->waitForBlock()) {
        node->addRef();
        engine->postNode(WM_ENGINE_NODE_CREATED, info, node);
        return endRead(info, node, clsRequestStatus::failed, transport->getFailureCode());
    }
    if (transport->isBodyIn())
        return readWhole(info, node);
    node->addRef();
    engine->postNode(WM_ENGINE_NODE_CREATED, info, node);
    // A pass after each block, and one after the end, which sees the transfer ended and
    // posts 3027; a pass that is still waiting covers the blocks that arrive meanwhile.
    for (bool more = true; more;) {
        if (stopping || transport->isCancelled()) {
            transport->closeRequest();
            return endRead(info, node, clsRequestStatus::failed, resultCancelled);
        }
        if (!transport->readNext(info, node, more))
            return endRead(info, node, clsRequestStatus::failed, transport->getFailureCode());
        if (node->markAnalysisQueued()) {
            node->addRef();
            engine->queueAnalyze(info, node);
        }
    }
    node->release();
    return true;
}

// The whole body came with the header: its blocks are taken at once and one analysis pass
// announces the page and ends it (3025 and 3027 posted together), which saves the caller a
// wake-up. The pass takes over the read's node reference.
bool clsCommunicationManager::readWhole(clsUrlInformation* info, clsQuillaraItem* node)
{
    for (bool more = true; more;) {
        bool ok = !stopping && !transport->isCancelled() && transport->readNext(info, node, more);
        if (ok)
            continue;
        node->addRef();
        engine->postNode(WM_ENGINE_NODE_CREATED, info, node);
        if (stopping || transport->isCancelled()) {
            transport->closeRequest();
            return endRead(info, node, clsRequestStatus::failed, resultCancelled);
        }
        return endRead(info, node, clsRequestStatus::failed, transport->getFailureCode());
    }
    node->markAnalysisQueued();
    return engine->queueAnalysis(info, node, true);
}

bool clsCommunicationManager::snapshot(clsQuillaraSnapshot* taken)
{
    clsCommunicationHttp* used = ensureTransport() ? transport.get() : nullptr;
    return taken->run(used, stopping);
}

bool clsCommunicationManager::readHead(clsUrlInformation* info)
{
    bool ok = true;
    if (isFetched(info)) {
        if (!ensureTransport()) {
            ok = false;
        } else if (!transport->readStart(info)) {
            logError("clsCommunicationManager::readHead", msgTransportStartFailed);
            info->setResultCode(transport->getFailureCode());
            ok = false;
        }
        if (transport)
            transport->closeRequest();
    }
    info->setStatus(ok ? clsRequestStatus::headRead : clsRequestStatus::failed);
    return engine->postHead(info) && ok;
}
