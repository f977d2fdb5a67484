#include "Engine/Http/clsTransfer.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Http/clsCommunicationHttp.h"
#include "Engine/Http/clsSendPacer.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Http/utlHttpResponse.h"
#include "Engine/Url/utlUrlParts.h"
#include "Platform/AtomicFile.h"
#include "Platform/Tick.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>

using namespace httpresponse;

namespace {

// A redirect's (or a retried answer's) body is read to its end, keeping the connection, only
// when it is this small and arrives this soon; otherwise the connection is dropped.
constexpr std::size_t drainLimit = 64 * 1024;
constexpr std::uint64_t drainMs = 500;
// Consumed body bytes are dropped from the buffer's front once there are this many.
constexpr std::size_t compactAt = 64 * 1024;
// Easy handles a worker keeps for its next transfers.
constexpr std::size_t maxSpareHandles = 16;
// A host whose connection another transfer holds is asked again after this long.
constexpr std::uint64_t hostRecheckMs = 20;

const char* const msgSendFailed = utlTexts::sjis(utlText::httpSendRequestFailed);
const char* const msgReadFailed = "InternetReadFile(CODE=0x";
const char* const msgAppendFailed = utlTexts::sjis(utlText::appendReadDataFailed);
const char* const msgNoResponse = utlTexts::sjis(utlText::noResponse);
const char* const msgRedirectStopped = utlTexts::sjis(utlText::redirectStopped);
const char* const msgTransportStartFailed = utlTexts::sjis(utlText::communicationStartFailed);

std::string withCode(const char* text, unsigned code)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08X)", code);
    return std::string(text) + digits;
}

} // namespace

clsTransfer::clsTransfer(clsQuillaraEngine* engine, CURLM* multi, std::vector<CURL*>* spares,
                         clsUrlInformation* info, clsQuillaraItem* node, std::uint32_t seed)
    : engine(engine), options(engine->getOptions()), multi(multi), spares(spares), info(info),
      node(node), chain(engine->getOptions().maxRedirects), jitter(seed)
{
    countCreated("clsTransfer");
}

clsTransfer::~clsTransfer()
{
    detach();
    giveBackHandle();
    curl_slist_free_all(requestHeaders);
    releaseHost();
    if (node != nullptr)
        node->release();
    if (info != nullptr)
        info->releaseQueueRef();
    countDestroyed("clsTransfer");
}

bool clsTransfer::hasEnded() const
{
    return stage == Stage::ended;
}

bool clsTransfer::handOverHost(std::string& heldHost)
{
    if (!hostHeld)
        return false;
    hostHeld = false;
    heldHost = std::move(host);
    return true;
}

std::uint64_t clsTransfer::nextCheck() const
{
    switch (stage) {
    case Stage::waitTurn:
    case Stage::waitRetry: return due;
    case Stage::draining: return drainUntil;
    case Stage::sending:
    case Stage::body:
        return lastActivity + static_cast<std::uint64_t>(options.receiveTimeoutMs) + 1;
    case Stage::ended: break;
    }
    return 0;
}

bool clsTransfer::start(std::uint64_t now)
{
    info->resetFetchReport();
    info->addAttempt();
    host = hostKey(info->getHost());
    hostHeld = true; // taken with the job
    bool reused = spares != nullptr && !spares->empty();
    if (reused) {
        easy = spares->back();
        spares->pop_back();
    } else {
        easy = curl_easy_init();
    }
    if (easy == nullptr) {
        failStart(resultTransportError);
        return false;
    }
    if (!reused)
        setSharedOptions();
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    return sendNow(now);
}

// What every transfer of the engine asks for alike; a kept handle has it already.
void clsTransfer::setSharedOptions()
{
    curl_easy_setopt(easy, CURLOPT_USERAGENT, options.agentName.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp,ftps");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &clsTransfer::onHeaderData);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &clsTransfer::onBodyData);
    // The loopback is never sent through a proxy unless the user's own no_proxy says so.
    if (std::getenv("no_proxy") == nullptr && std::getenv("NO_PROXY") == nullptr)
        curl_easy_setopt(easy, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
}

// One GET to the request's current address (its turn taken); with a cached copy, a
// conditional one.
bool clsTransfer::sendNow(std::uint64_t now)
{
    lastFailureRetryable = false;
    detach();
    utlUrlParts parts;
    parts.scheme = info->getScheme();
    parts.host = info->getHost();
    parts.port = info->getPort();
    parts.userName = info->getUserName();
    parts.password = info->getPassword();
    parts.urlPath = info->getUrlPath();
    parts.extraInfo = info->getExtraInfo();
    url = makeRequestUrl(parts);
    ftp = isFtpScheme(parts.scheme);
    // An FTP server has no conditional request.
    clsUrlCache* cache = ftp || skipCopy ? nullptr : FindUrlCache();
    skipCopy = false;
    copy = clsUrlCache::Entry{};
    haveCopy = cache != nullptr && cache->lookup(info->getAddress(), copy) &&
               (!copy.etag.empty() || !headerValue(copy.header, "Last-Modified:").empty());
    lastReply.clear();
    headerDone = false;
    done = false;
    keepBody = true;
    result = CURLE_OK;
    headerLines.clear();
    body.clear();
    bodyOffset = 0;
    errorBuffer[0] = 0;
    lastActivity = now;
    curl_slist_free_all(requestHeaders);
    requestHeaders = nullptr;
    if (haveCopy) {
        std::string lastModified = headerValue(copy.header, "Last-Modified:");
        if (!copy.etag.empty())
            requestHeaders =
                curl_slist_append(requestHeaders, ("If-None-Match: " + copy.etag).c_str());
        if (!lastModified.empty())
            requestHeaders =
                curl_slist_append(requestHeaders, ("If-Modified-Since: " + lastModified).c_str());
    }
    if (std::string date = info->getAcceptDatetime(); !date.empty())
        requestHeaders = curl_slist_append(requestHeaders, ("Accept-Datetime: " + date).c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, requestHeaders);
    curl_easy_setopt(easy, CURLOPT_FILETIME, ftp ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        logErrorAs("clsCommunicationHttp::readStart", withCode(msgSendFailed, 0) + " " + url);
        failStart(resultTransportError);
        return false;
    }
    attached = true;
    stage = Stage::sending;
    return true;
}

// Only so many transfers talk to a host at a time (one with pacing per host); then the
// pacer's turn.
bool clsTransfer::takeTurn(std::uint64_t now)
{
    std::string key = hostKey(info->getHost());
    if (!hostHeld) {
        host = key;
        if (!engine->claimHost(host)) {
            due = now + hostRecheckMs;
            return false;
        }
        hostHeld = true;
    }
    std::uint64_t readyAt = 0;
    if (!engine->getPacer().tryRelease(key, readyAt)) {
        due = std::max(readyAt, now + 1);
        return false;
    }
    return sendNow(now);
}

void clsTransfer::onDone(CURLcode code)
{
    done = true;
    result = code;
    // An empty file ends without a byte of body.
    if (ftp && code == CURLE_OK)
        headerDone = true;
}

bool clsTransfer::step(std::uint64_t now)
{
    // Each stage may end in the next; the loop stops where the transfer must wait.
    for (;;) {
        Stage before = stage;
        switch (stage) {
        case Stage::waitTurn:
            if (now >= due)
                takeTurn(now);
            break;
        case Stage::waitRetry:
            if (now >= due) {
                info->addAttempt();
                ++retry;
                stage = Stage::waitTurn;
            }
            break;
        case Stage::sending: onSending(now); break;
        case Stage::draining:
            if (done || now >= drainUntil)
                endDrain(now);
            break;
        case Stage::body: onBody(now); break;
        case Stage::ended: return false;
        }
        if (stage == before)
            return stage != Stage::ended;
    }
}

void clsTransfer::onSending(std::uint64_t now)
{
    if (headerDone) {
        onHeader(now);
        return;
    }
    if (done) {
        // A refusal by an FTP server (550 no such file, 530 not logged in) is its answer,
        // as an HTTP error status is.
        long reply = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply);
        if (ftp && reply >= 400) {
            onHeader(now);
            return;
        }
        lastFailureRetryable = isRetryableTransfer(result);
        std::string reason =
            errorBuffer[0] != 0 ? std::string(errorBuffer) : curl_easy_strerror(result);
        sendFailed(now, withCode(msgSendFailed, result) + " " + reason + " " + info->getAddress());
        return;
    }
    if (timedOut(now)) {
        lastFailureRetryable = true;
        sendFailed(now, std::string(msgNoResponse) + " " + info->getAddress());
    }
}

// A send that got no answer: tried again when the failure may pass, else the request fails.
void clsTransfer::sendFailed(std::uint64_t now, const std::string& message)
{
    logErrorAs("clsCommunicationHttp::readStart", message);
    detach();
    if (lastFailureRetryable && retry < options.retryCount) {
        waitForRetry(now, backoffMs(), false);
        return;
    }
    failStart(resultTransportError);
}

void clsTransfer::onHeader(std::uint64_t now)
{
    if (ftp)
        describeFtpResponse();
    // With a cached copy a 304 serves the copy as the page, so that it is analysed as the
    // first fetch was.
    if (haveCopy && statusOfHeader(headerLines) == 304) {
        startDrain(now, AfterDrain::copy);
        return;
    }
    judgeResponse(now);
}

// The answer of one send: tried again, followed to its redirect, or final.
void clsTransfer::judgeResponse(std::uint64_t now)
{
    int waitMs = 0;
    bool holdHost = false;
    if (wantsRetry(waitMs, holdHost)) {
        retryWaitMs = waitMs;
        retryHoldsHost = holdHost;
        startDrain(now, AfterDrain::retry);
        return;
    }
    info->setHeaders(headerLines);
    int code = std::atoi(info->getStatusCode().c_str());
    // Only a redirect is looked at further; the chain starts at the address first asked for.
    if (code < 300 || code > 399) {
        headerFinal();
        return;
    }
    if (!chainStarted) {
        chain.start(info->getAddress());
        chainStarted = true;
    }
    std::string location;
    bool hasLocation = info->getHeader("Location:", location);
    std::string target;
    clsRedirectChain::Decision decision =
        chain.next(info->getAddress(), code, hasLocation, location, target);
    if (decision == clsRedirectChain::finalResponse) {
        headerFinal();
        return;
    }
    if (decision != clsRedirectChain::follow) {
        detach();
        info->setRedirectLoop(decision == clsRedirectChain::loop ||
                              decision == clsRedirectChain::tooMany);
        logErrorAs("clsCommunicationHttp::readStart",
                   std::string(msgRedirectStopped) + " " + info->getAddress() + " -> " + target);
        failStart(code);
        return;
    }
    // Only the permanent redirects at the head of the chain say where the address now is.
    permanent = permanent && (code == 301 || code == 308);
    if (permanent)
        info->setMovedAddress(target);
    redirectTarget = std::move(target);
    startDrain(now, AfterDrain::redirect);
}

// Whether the answer is worth another send, and after how long (milliseconds of whole
// seconds, before retryUnitMs scales them). A Retry-After longer than allowed ends the
// request with the status it came with.
bool clsTransfer::wantsRetry(int& waitMs, bool& holdHost)
{
    int code = statusOfHeader(headerLines);
    if (!isRetryableStatus(code, ftp))
        return false;
    int asked = -1;
    if (code == 429 || code == 503)
        asked = retryAfterSeconds(headerValue(headerLines, "Retry-After:"), std::time(nullptr));
    if (asked > options.retryMaxWaitSeconds) {
        info->setRetryAfterRefused(asked);
        return false;
    }
    if (retry >= options.retryCount)
        return false;
    holdHost = asked >= 0;
    waitMs = asked >= 0 ? asked * 1000 : backoffMs();
    return true;
}

// 1, 2, 4 ... seconds after the first, second, third failure, each up to a quarter longer
// so that the requests of many items do not come back all at once.
int clsTransfer::backoffMs()
{
    int base = 1000 << std::min(retry, 10);
    std::uniform_int_distribution<int> spread(0, base / 4);
    return base + spread(jitter);
}

void clsTransfer::startDrain(std::uint64_t now, AfterDrain next)
{
    afterDrain = next;
    keepBody = false;
    drainUntil = now + drainMs;
    stage = Stage::draining;
    if (!attached || body.size() >= drainLimit)
        drainUntil = now;
}

void clsTransfer::endDrain(std::uint64_t now)
{
    detach();
    switch (afterDrain) {
    case AfterDrain::copy: serveCopy(now); return;
    case AfterDrain::retry: waitForRetry(now, retryWaitMs, retryHoldsHost); return;
    case AfterDrain::redirect:
        // The request takes the new address under its old id: it leaves the registry under
        // the old key and enters it under the new one.
        engine->unregisterItem(info);
        info->set(info->getId(), info->getLinkKind(), redirectTarget);
        info->addRedirect(redirectTarget);
        engine->registerItem(info);
        retry = 0;
        releaseHost();
        stage = Stage::waitTurn;
        due = now;
        return;
    }
}

void clsTransfer::serveCopy(std::uint64_t now)
{
    std::string cached;
    // The copy may have been trimmed from the cache meanwhile: then ask for the page itself.
    if (!platform::readWholeFile(copy.bodyPath, cached)) {
        skipCopy = true;
        stage = Stage::waitTurn;
        due = now;
        return;
    }
    headerLines = copy.header;
    body = std::move(cached);
    bodyOffset = 0;
    done = true;
    result = CURLE_OK;
    info->setNotModified(true);
    judgeResponse(now);
}

void clsTransfer::waitForRetry(std::uint64_t now, int waitMs, bool holdHost)
{
    if (options.onRetryWait)
        options.onRetryWait(info->getAddress(), waitMs);
    auto real =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(waitMs) * options.retryUnitMs / 1000);
    if (holdHost)
        engine->getPacer().holdHost(hostKey(info->getHost()), real);
    // The wait holds no connection: the host's other requests may go meanwhile.
    releaseHost();
    stage = Stage::waitRetry;
    due = now + real;
}

// The header chain has ended with the page's answer.
void clsTransfer::headerFinal()
{
    info->setWireBytes(static_cast<std::int64_t>(wireBytes));
    if (node == nullptr) {
        detach();
        info->setStatus(clsRequestStatus::headRead);
        engine->postHead(info);
        stage = Stage::ended;
        return;
    }
    int code = std::atoi(info->getStatusCode().c_str());
    if (code >= 400) {
        detach();
        endRead(clsRequestStatus::failed, code);
        return;
    }
    // A page that is not text is not analysed: it ends complete with its header recorded.
    if (info->getContentType().find("text/") == std::string::npos) {
        detach();
        endRead(clsRequestStatus::complete, 0);
        return;
    }
    keepBody = true;
    stage = Stage::body;
}

// After the header the body is awaited until a whole block (or all of a shorter body) is in:
// a body that is all in is taken at once and announced with its one analysis pass; else the
// page is announced and its blocks are handed on as they come, each followed by a pass
// unless one is waiting.
void clsTransfer::onBody(std::uint64_t now)
{
    if (pending() < clsCommunicationHttp::blockSize && !done) {
        if (timedOut(now))
            failBody(resultTransportError, std::string(msgNoResponse) + " " + url);
        return;
    }
    if (done && result != CURLE_OK) {
        std::string reason =
            errorBuffer[0] != 0 ? std::string(errorBuffer) : curl_easy_strerror(result);
        failBody(resultTransportError, withCode(msgReadFailed, result) + " " + reason + " " + url);
        return;
    }
    if (!announced && done) {
        takeWhole();
        return;
    }
    if (!announced) {
        announced = true;
        node->addRef();
        engine->postNode(WM_ENGINE_NODE_CREATED, info, node);
    }
    bool more = true;
    while (more && (pending() >= clsCommunicationHttp::blockSize || done)) {
        if (!handOneBlock(more)) {
            failBody(resultTransportError, msgAppendFailed);
            return;
        }
        if (node->markAnalysisQueued()) {
            node->addRef();
            engine->queueAnalyze(info, node);
        }
    }
    if (!more)
        stage = Stage::ended;
}

// The next block of the body to the node; at the end of the body the read is complete.
bool clsTransfer::handOneBlock(bool& more)
{
    more = false;
    if (pending() == 0) {
        info->setWireBytes(static_cast<std::int64_t>(wireBytes));
        // The status goes first: a pass on the engine thread that sees the transfer ended
        // tells 3027 at once, and that must find the request complete.
        info->setStatus(clsRequestStatus::complete);
        node->setTransferEnded();
        detach();
        return true;
    }
    std::size_t length = std::min(clsCommunicationHttp::blockSize, pending());
    std::unique_ptr<char[]> block(new char[length + 1]);
    std::memcpy(block.get(), body.data() + bodyOffset, length);
    block[length] = 0;
    if (!node->appendBlock(std::move(block), length))
        return false;
    info->addReceivedBytes(static_cast<std::int64_t>(length));
    info->setWireBytes(static_cast<std::int64_t>(wireBytes));
    bodyOffset += length;
    if (bodyOffset >= compactAt) {
        body.erase(0, bodyOffset);
        bodyOffset = 0;
    }
    more = true;
    return true;
}

// The whole body is in: its blocks go to the node at once and one analysis pass announces
// the page and ends it (3025 and 3027 posted together). The pass takes the read's node.
void clsTransfer::takeWhole()
{
    for (bool more = true; more;) {
        if (handOneBlock(more))
            continue;
        failBody(resultTransportError, msgAppendFailed);
        return;
    }
    node->markAnalysisQueued();
    clsQuillaraItem* taken = node;
    node = nullptr;
    engine->queueAnalysis(info, taken, true);
    stage = Stage::ended;
}

void clsTransfer::describeFtpResponse()
{
    long reply = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply);
    std::string header = "FTP " + (lastReply.empty() ? std::to_string(reply) : lastReply) + "\r\n";
    if (statusOfHeader(header) < 400) {
        curl_off_t size = -1;
        curl_off_t when = -1;
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
        curl_easy_getinfo(easy, CURLINFO_FILETIME_T, &when);
        if (size >= 0)
            header += "Content-Length: " + std::to_string(size) + "\r\n";
        if (when >= 0)
            header += "Last-Modified: " + httpDate(static_cast<std::time_t>(when)) + "\r\n";
        if (const char* type = typeOfExtension(info->getExtension()))
            header += std::string("Content-Type: ") + type + "\r\n";
    }
    headerLines = header + "\r\n";
}

// The request ended before its page's answer was in (code: -1, -2 or a redirect's status).
void clsTransfer::failStart(int code)
{
    detach();
    info->setWireBytes(static_cast<std::int64_t>(wireBytes));
    if (node != nullptr) {
        endRead(clsRequestStatus::failed, code);
        return;
    }
    if (code != resultCancelled)
        logErrorAs("clsCommunicationManager::readHead", msgTransportStartFailed);
    info->setResultCode(code);
    info->setStatus(clsRequestStatus::failed);
    engine->postHead(info);
    stage = Stage::ended;
}

// The final notification, which carries the read's node reference.
void clsTransfer::endRead(clsRequestStatus status, int code)
{
    if (status == clsRequestStatus::failed)
        info->setResultCode(code);
    info->setStatus(status);
    clsQuillaraItem* taken = node;
    node = nullptr;
    taken->markFinalTold();
    engine->postNode(WM_ENGINE_NODE_READ, info, taken);
    stage = Stage::ended;
}

// The body failed: a page not yet announced is announced first, as a reader waiting for its
// first block would have done.
void clsTransfer::failBody(int code, const std::string& message)
{
    if (code != resultCancelled)
        logErrorAs("clsCommunicationHttp::readNext", message);
    detach();
    if (!announced) {
        announced = true;
        node->addRef();
        engine->postNode(WM_ENGINE_NODE_CREATED, info, node);
    }
    endRead(clsRequestStatus::failed, code);
}

void clsTransfer::cancel()
{
    switch (stage) {
    case Stage::ended: return;
    case Stage::body: failBody(resultCancelled, {}); return;
    default: failStart(resultCancelled); return;
    }
}

void clsTransfer::detach()
{
    if (!attached)
        return;
    curl_multi_remove_handle(multi, easy);
    attached = false;
}

// An easy handle costs an allocation of several kilobytes and its set-up; the worker keeps a
// few for its next transfers, with the options they share (its connections live in the multi
// handle either way). What differs per send is set by every send.
void clsTransfer::giveBackHandle()
{
    if (easy == nullptr)
        return;
    if (spares != nullptr && spares->size() < maxSpareHandles) {
        spares->push_back(easy);
    } else {
        curl_easy_cleanup(easy);
    }
    easy = nullptr;
}

void clsTransfer::releaseHost()
{
    if (!hostHeld)
        return;
    hostHeld = false;
    engine->releaseHost(host);
}

bool clsTransfer::timedOut(std::uint64_t now) const
{
    return now > lastActivity &&
           now - lastActivity > static_cast<std::uint64_t>(options.receiveTimeoutMs);
}

// Header lines of the response under way, kept with CR LF endings. An interim 1xx response
// is dropped when the next status line begins.
std::size_t clsTransfer::onHeaderData(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* self = static_cast<clsTransfer*>(user);
    std::size_t length = size * count;
    self->lastActivity = platform::tickCount();
    self->wireBytes += length;
    if (takeHeaderLine(std::string_view(data, length), self->ftp, self->headerLines,
                       self->lastReply))
        self->headerDone = true;
    return length;
}

std::size_t clsTransfer::onBodyData(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* self = static_cast<clsTransfer*>(user);
    std::size_t length = size * count;
    self->lastActivity = platform::tickCount();
    self->wireBytes += length;
    // A file's first bytes are as far as an FTP response has a header.
    if (self->ftp)
        self->headerDone = true;
    if (self->keepBody)
        self->body.append(data, length);
    return length;
}
