#include "Engine/Http/clsCommunicationHttp.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Http/clsRedirectChain.h"
#include "Engine/Http/clsSendPacer.h"
#include "Engine/Http/clsUrlCache.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Http/utlHttpResponse.h"
#include "Engine/Url/utlUrlParts.h"
#include "Platform/AtomicFile.h"
#include "Platform/Tick.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <curl/curl.h>
#include <mutex>
#include <string_view>
#include <thread>

using namespace httpresponse;

namespace {

// Every wait polls in steps of this length, so a cancel is seen at once.
constexpr int pollMs = 50;
// A redirect's body is read to its end (keeping the connection) only when it is this small
// and arrives this soon; otherwise the connection is dropped.
constexpr std::size_t drainLimit = 64 * 1024;
constexpr std::uint64_t drainMs = 500;
// Consumed body bytes are dropped from the buffer's front once there are this many.
constexpr std::size_t compactAt = 64 * 1024;

const char* const msgOpenFailed = utlTexts::sjis(utlText::internetOpenFailed);
const char* const msgSendFailed = utlTexts::sjis(utlText::httpSendRequestFailed);
const char* const msgReadFailed = "InternetReadFile(CODE=0x";
const char* const msgAppendFailed = utlTexts::sjis(utlText::appendReadDataFailed);
const char* const msgNoResponse = utlTexts::sjis(utlText::noResponse);
const char* const msgRedirectStopped = utlTexts::sjis(utlText::redirectStopped);

// Retry waits are slept in steps of this length, so a cancel is seen at once.
constexpr int retrySleepStepMs = 20;

std::string withCode(const char* text, unsigned code)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08X)", code);
    return std::string(text) + digits;
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

int clsCommunicationHttp::retryAfterSeconds(const std::string& value, std::time_t now)
{
    return httpresponse::retryAfterSeconds(value, now);
}

bool clsCommunicationHttp::speaks(const std::string& scheme)
{
    return scheme == "http" || scheme == "https" || isFtpScheme(scheme);
}

// The curl handles and the state of the request under way. Only the worker thread touches
// it, except that cancel() wakes the multi handle.
struct clsCommunicationHttp::Session {
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    bool attached = false;
    bool headerDone = false;
    bool done = false;
    bool keepBody = true;
    bool ftp = false;
    std::string lastReply; // FTP: the server's last reply line on the control connection
    CURLcode result = CURLE_OK;
    std::string headerLines;
    std::string body;
    std::size_t bodyOffset = 0;
    std::uint64_t lastActivity = 0;
    std::uint64_t* wireBytes = nullptr; // the transport's count of bytes received
    curl_slist* requestHeaders = nullptr;
    std::string url;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    ~Session()
    {
        if (attached)
            curl_multi_remove_handle(multi, easy);
        if (easy != nullptr)
            curl_easy_cleanup(easy);
        if (multi != nullptr)
            curl_multi_cleanup(multi);
        curl_slist_free_all(requestHeaders);
    }

    std::size_t pending() const { return body.size() - bodyOffset; }

    // Header lines of the response under way, kept with CR LF endings. An interim 1xx
    // response is dropped when the next status line begins.
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user)
    {
        auto* self = static_cast<Session*>(user);
        std::size_t length = size * count;
        self->lastActivity = platform::tickCount();
        *self->wireBytes += length;
        if (takeHeaderLine(std::string_view(data, length), self->ftp, self->headerLines,
                           self->lastReply))
            self->headerDone = true;
        return length;
    }

    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user)
    {
        auto* self = static_cast<Session*>(user);
        std::size_t length = size * count;
        self->lastActivity = platform::tickCount();
        *self->wireBytes += length;
        // A file's first bytes are as far as an FTP response has a header.
        if (self->ftp)
            self->headerDone = true;
        if (self->keepBody)
            self->body.append(data, length);
        return length;
    }
};

clsCommunicationHttp::clsCommunicationHttp(clsQuillaraEngine* engine,
                                           const clsEngineOptions& options, clsSendPacer* pacer)
    : engine(engine), options(options), pacer(pacer), jitter(std::random_device{}())
{
    initCurlOnce();
    countCreated("clsCommunicationHttp");
}

clsCommunicationHttp::~clsCommunicationHttp()
{
    term();
    countDestroyed("clsCommunicationHttp");
}

bool clsCommunicationHttp::init()
{
    if (session)
        return true;
    auto fresh = std::make_unique<Session>();
    fresh->wireBytes = &wireBytes;
    fresh->multi = curl_multi_init();
    fresh->easy = curl_easy_init();
    if (fresh->multi == nullptr || fresh->easy == nullptr)
        return logError(withCode(msgOpenFailed, 0));
    CURL* easy = fresh->easy;
    curl_easy_setopt(easy, CURLOPT_USERAGENT, options.agentName.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp,ftps");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Session::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, fresh.get());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Session::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, fresh.get());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, fresh->errorBuffer);
    // The loopback is never sent through a proxy unless the user's own no_proxy says so.
    if (std::getenv("no_proxy") == nullptr && std::getenv("NO_PROXY") == nullptr)
        curl_easy_setopt(easy, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    std::lock_guard<std::mutex> guard(sessionLock);
    session = std::move(fresh);
    return true;
}

bool clsCommunicationHttp::term()
{
    std::unique_ptr<Session> old;
    {
        std::lock_guard<std::mutex> guard(sessionLock);
        old = std::move(session);
    }
    return true;
}

bool clsCommunicationHttp::reset()
{
    term();
    return init();
}

void clsCommunicationHttp::cancel()
{
    cancelled = true;
    std::lock_guard<std::mutex> guard(sessionLock);
    if (session && session->multi != nullptr)
        curl_multi_wakeup(session->multi);
}

bool clsCommunicationHttp::isCancelled() const
{
    return cancelled;
}

int clsCommunicationHttp::getFailureCode() const
{
    return failureCode;
}

std::string clsCommunicationHttp::curlError() const
{
    if (!session)
        return {};
    if (session->errorBuffer[0] != 0)
        return session->errorBuffer;
    return curl_easy_strerror(session->result);
}

// A failure leaves the transport reset, so that the next job starts clean.
bool clsCommunicationHttp::fail(int code, const char* operation, const std::string& message)
{
    failureCode = code;
    if (code != resultCancelled)
        logErrorAs(operation, message);
    reset();
    return false;
}

bool clsCommunicationHttp::isBodyIn() const
{
    return session && session->attached && session->done && session->result == CURLE_OK;
}

void clsCommunicationHttp::closeRequest()
{
    if (!session || !session->attached)
        return;
    curl_multi_remove_handle(session->multi, session->easy);
    session->attached = false;
}

bool clsCommunicationHttp::pump(int waitMs)
{
    int running = 0;
    CURLMcode code = curl_multi_perform(session->multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(session->multi, &queued)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        session->done = true;
        session->result = message->data.result;
        // An empty file ends without a byte of body.
        if (session->ftp && session->result == CURLE_OK)
            session->headerDone = true;
    }
    if (code != CURLM_OK) {
        session->done = true;
        session->result = CURLE_FAILED_INIT;
        return false;
    }
    if (!session->done && waitMs > 0)
        curl_multi_poll(session->multi, nullptr, 0, waitMs, nullptr);
    return true;
}

bool clsCommunicationHttp::timedOut() const
{
    return platform::tickCount() - session->lastActivity >
           static_cast<std::uint64_t>(options.receiveTimeoutMs);
}

bool clsCommunicationHttp::waitForHeader(clsUrlInformation* info)
{
    while (!session->headerDone) {
        if (cancelled)
            return fail(resultCancelled, "clsCommunicationHttp::readStart", {});
        if (session->done) {
            // A refusal by an FTP server (550 no such file, 530 not logged in) is its answer,
            // as an HTTP error status is.
            long reply = 0;
            curl_easy_getinfo(session->easy, CURLINFO_RESPONSE_CODE, &reply);
            if (session->ftp && reply >= 400)
                return true;
            lastFailureRetryable = isRetryableTransfer(session->result);
            return fail(resultTransportError, "clsCommunicationHttp::readStart",
                        withCode(msgSendFailed, session->result) + " " + curlError() + " " +
                            info->getAddress());
        }
        if (timedOut()) {
            lastFailureRetryable = true;
            return fail(resultTransportError, "clsCommunicationHttp::readStart",
                        std::string(msgNoResponse) + " " + info->getAddress());
        }
        pump(pollMs);
    }
    return true;
}

// One GET to the request's current address, up to the end of the response header; with a
// cached copy, a conditional one.
bool clsCommunicationHttp::sendOnce(clsUrlInformation* info, const clsUrlCache::Entry* cached)
{
    lastFailureRetryable = false;
    if (!session && !init())
        return fail(resultTransportError, "clsCommunicationHttp::readStart",
                    withCode(msgOpenFailed, 0));
    closeRequest();
    utlUrlParts parts;
    parts.scheme = info->getScheme();
    parts.host = info->getHost();
    parts.port = info->getPort();
    parts.userName = info->getUserName();
    parts.password = info->getPassword();
    parts.urlPath = info->getUrlPath();
    parts.extraInfo = info->getExtraInfo();
    if (!pacer->waitTurn(hostKey(parts.host), cancelled))
        return fail(resultCancelled, "clsCommunicationHttp::readStart", {});
    Session& s = *session;
    s.url = makeRequestUrl(parts);
    s.ftp = isFtpScheme(parts.scheme);
    s.lastReply.clear();
    s.headerDone = false;
    s.done = false;
    s.keepBody = true;
    s.result = CURLE_OK;
    s.headerLines.clear();
    s.body.clear();
    s.bodyOffset = 0;
    s.errorBuffer[0] = 0;
    s.lastActivity = platform::tickCount();
    curl_slist_free_all(s.requestHeaders);
    s.requestHeaders = nullptr;
    if (cached != nullptr) {
        std::string lastModified = headerValue(cached->header, "Last-Modified:");
        if (!cached->etag.empty())
            s.requestHeaders =
                curl_slist_append(s.requestHeaders, ("If-None-Match: " + cached->etag).c_str());
        if (!lastModified.empty())
            s.requestHeaders =
                curl_slist_append(s.requestHeaders, ("If-Modified-Since: " + lastModified).c_str());
    }
    if (std::string date = info->getAcceptDatetime(); !date.empty())
        s.requestHeaders =
            curl_slist_append(s.requestHeaders, ("Accept-Datetime: " + date).c_str());
    curl_easy_setopt(s.easy, CURLOPT_HTTPHEADER, s.requestHeaders);
    curl_easy_setopt(s.easy, CURLOPT_FILETIME, s.ftp ? 1L : 0L);
    curl_easy_setopt(s.easy, CURLOPT_URL, s.url.c_str());
    if (curl_multi_add_handle(s.multi, s.easy) != CURLM_OK)
        return fail(resultTransportError, "clsCommunicationHttp::readStart",
                    withCode(msgSendFailed, 0) + " " + s.url);
    s.attached = true;
    if (!waitForHeader(info))
        return false;
    if (s.ftp)
        describeFtpResponse(info);
    return true;
}

void clsCommunicationHttp::describeFtpResponse(clsUrlInformation* info)
{
    Session& s = *session;
    long reply = 0;
    curl_easy_getinfo(s.easy, CURLINFO_RESPONSE_CODE, &reply);
    std::string header =
        "FTP " + (s.lastReply.empty() ? std::to_string(reply) : s.lastReply) + "\r\n";
    if (statusOfHeader(header) < 400) {
        curl_off_t size = -1;
        curl_off_t when = -1;
        curl_easy_getinfo(s.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
        curl_easy_getinfo(s.easy, CURLINFO_FILETIME_T, &when);
        if (size >= 0)
            header += "Content-Length: " + std::to_string(size) + "\r\n";
        if (when >= 0)
            header += "Last-Modified: " + httpDate(static_cast<std::time_t>(when)) + "\r\n";
        if (const char* type = typeOfExtension(info->getExtension()))
            header += std::string("Content-Type: ") + type + "\r\n";
    }
    s.headerLines = header + "\r\n";
}

// The request takes the new address under its old id: it leaves the registry under the old
// key and enters it under the new one.
bool clsCommunicationHttp::followRedirect(clsUrlInformation* info, const std::string& target)
{
    drainSmallBody();
    closeRequest();
    engine->unregisterItem(info);
    info->set(info->getId(), info->getLinkKind(), target);
    info->addRedirect(target);
    engine->registerItem(info);
    return true;
}

bool clsCommunicationHttp::readStart(clsUrlInformation* info)
{
    failureCode = resultTransportError;
    wireBytes = 0;
    info->resetFetchReport();
    info->addAttempt();
    bool ok = followChain(info);
    info->setWireBytes(static_cast<std::int64_t>(wireBytes));
    return ok;
}

bool clsCommunicationHttp::followChain(clsUrlInformation* info)
{
    clsRedirectChain chain(options.maxRedirects);
    bool started = false;
    bool permanent = true;
    for (;;) {
        if (!sendWithRetries(info))
            return false;
        info->setHeaders(session->headerLines);
        int code = std::atoi(info->getStatusCode().c_str());
        // Only a redirect is looked at further; the chain starts at the address first asked for.
        if (code < 300 || code > 399)
            return true;
        if (!started) {
            chain.start(info->getAddress());
            started = true;
        }
        std::string location;
        bool hasLocation = info->getHeader("Location:", location);
        std::string target;
        clsRedirectChain::Decision decision =
            chain.next(info->getAddress(), code, hasLocation, location, target);
        if (decision == clsRedirectChain::finalResponse)
            return true;
        if (decision != clsRedirectChain::follow) {
            closeRequest();
            failureCode = code;
            info->setRedirectLoop(decision == clsRedirectChain::loop ||
                                  decision == clsRedirectChain::tooMany);
            return logErrorAs("clsCommunicationHttp::readStart", std::string(msgRedirectStopped) +
                                                                     " " + info->getAddress() +
                                                                     " -> " + target);
        }
        // Only the permanent redirects at the head of the chain say where the address now is.
        permanent = permanent && (code == 301 || code == 308);
        if (permanent)
            info->setMovedAddress(target);
        followRedirect(info, target);
    }
}

// One hop: sent again after a failure that may pass, each time through the pacer.
bool clsCommunicationHttp::sendWithRetries(clsUrlInformation* info)
{
    for (int retry = 0;; ++retry) {
        bool sent = sendConditional(info);
        int waitMs = 0;
        bool holdHost = false;
        if (!retryWanted(info, sent, retry, waitMs, holdHost))
            return sent;
        if (sent) {
            drainSmallBody();
            closeRequest();
        }
        if (!waitBeforeRetry(info, waitMs, holdHost))
            return fail(resultCancelled, "clsCommunicationHttp::readStart", {});
        info->addAttempt();
    }
}

// Whether the last attempt is worth another, and after how long (milliseconds of whole
// seconds, before retryUnitMs scales them). A Retry-After longer than allowed ends the
// request with the status it came with.
bool clsCommunicationHttp::retryWanted(clsUrlInformation* info, bool sent, int retry, int& waitMs,
                                       bool& holdHost)
{
    if (cancelled)
        return false;
    if (!sent) {
        if (!lastFailureRetryable || retry >= options.retryCount)
            return false;
        waitMs = backoffMs(retry);
        return true;
    }
    int code = statusOfHeader(session->headerLines);
    if (!isRetryableStatus(code, session->ftp))
        return false;
    int asked = -1;
    if (code == 429 || code == 503)
        asked = retryAfterSeconds(headerValue(session->headerLines, "Retry-After:"),
                                  std::time(nullptr));
    if (asked > options.retryMaxWaitSeconds) {
        info->setRetryAfterRefused(asked);
        return false;
    }
    if (retry >= options.retryCount)
        return false;
    holdHost = asked >= 0;
    waitMs = asked >= 0 ? asked * 1000 : backoffMs(retry);
    return true;
}

// 1, 2, 4 ... seconds after the first, second, third failure, each up to a quarter longer
// so that the requests of many items do not come back all at once.
int clsCommunicationHttp::backoffMs(int retry)
{
    int base = 1000 << std::min(retry, 10);
    std::uniform_int_distribution<int> spread(0, base / 4);
    return base + spread(jitter);
}

bool clsCommunicationHttp::waitBeforeRetry(clsUrlInformation* info, int waitMs, bool holdHost)
{
    if (options.onRetryWait)
        options.onRetryWait(info->getAddress(), waitMs);
    auto real =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(waitMs) * options.retryUnitMs / 1000);
    if (holdHost)
        pacer->holdHost(hostKey(info->getHost()), real);
    std::uint64_t until = platform::tickCount() + real;
    while (!cancelled) {
        std::uint64_t now = platform::tickCount();
        if (now >= until)
            return true;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::min<std::uint64_t>(retrySleepStepMs, until - now)));
    }
    return false;
}

// With a cached copy of the address the GET is conditional; a 304 then serves the copy as
// the page, so that it is analysed as the first fetch was.
bool clsCommunicationHttp::sendConditional(clsUrlInformation* info)
{
    clsUrlCache::Entry entry;
    // An FTP server has no conditional request.
    clsUrlCache* cache = isFtpScheme(info->getScheme()) ? nullptr : FindUrlCache();
    bool haveCopy = cache != nullptr && cache->lookup(info->getAddress(), entry) &&
                    (!entry.etag.empty() || !headerValue(entry.header, "Last-Modified:").empty());
    if (!sendOnce(info, haveCopy ? &entry : nullptr))
        return false;
    if (!haveCopy || statusOfHeader(session->headerLines) != 304)
        return true;
    drainSmallBody();
    std::string body;
    // The copy may have been trimmed from the cache meanwhile: then ask for the page itself.
    if (!platform::readWholeFile(entry.bodyPath, body)) {
        closeRequest();
        return sendOnce(info, nullptr);
    }
    Session& s = *session;
    s.headerLines = entry.header;
    s.body = std::move(body);
    s.bodyOffset = 0;
    s.done = true;
    s.result = CURLE_OK;
    info->setNotModified(true);
    return true;
}

void clsCommunicationHttp::drainSmallBody()
{
    if (!session || !session->attached)
        return;
    session->keepBody = false;
    std::uint64_t until = platform::tickCount() + drainMs;
    std::size_t seen = session->body.size();
    while (!session->done && !cancelled && seen < drainLimit && platform::tickCount() < until)
        pump(pollMs);
}

// Reads until a whole block is waiting or the response has ended.
bool clsCommunicationHttp::fillBlock()
{
    if (!session || !session->attached)
        return fail(resultTransportError, "clsCommunicationHttp::readNext",
                    withCode(msgReadFailed, 0));
    Session& s = *session;
    while (s.pending() < blockSize && !s.done) {
        if (cancelled)
            return fail(resultCancelled, "clsCommunicationHttp::readNext", {});
        if (timedOut())
            return fail(resultTransportError, "clsCommunicationHttp::readNext",
                        std::string(msgNoResponse) + " " + s.url);
        pump(pollMs);
    }
    if (s.done && s.result != CURLE_OK)
        return fail(resultTransportError, "clsCommunicationHttp::readNext",
                    withCode(msgReadFailed, s.result) + " " + curlError() + " " + s.url);
    return true;
}

bool clsCommunicationHttp::waitForBlock()
{
    return fillBlock();
}

bool clsCommunicationHttp::readNext(clsUrlInformation* info, clsQuillaraItem* node, bool& more)
{
    more = false;
    if (!fillBlock())
        return false;
    Session& s = *session;
    if (s.pending() == 0) {
        info->setWireBytes(static_cast<std::int64_t>(wireBytes));
        node->setTransferEnded();
        info->setStatus(clsRequestStatus::complete);
        closeRequest();
        return true;
    }
    std::size_t length = std::min(blockSize, s.pending());
    std::unique_ptr<char[]> block(new char[length + 1]);
    std::memcpy(block.get(), s.body.data() + s.bodyOffset, length);
    block[length] = 0;
    if (!node->appendBlock(std::move(block), length))
        return fail(resultTransportError, "clsCommunicationHttp::readNext", msgAppendFailed);
    info->addReceivedBytes(static_cast<std::int64_t>(length));
    info->setWireBytes(static_cast<std::int64_t>(wireBytes));
    s.bodyOffset += length;
    if (s.bodyOffset >= compactAt) {
        s.body.erase(0, s.bodyOffset);
        s.bodyOffset = 0;
    }
    more = true;
    return true;
}
