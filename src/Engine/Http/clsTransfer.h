#pragma once

#include "Engine/Core/clsRequestStatus.h"
#include "Engine/Http/clsRedirectChain.h"
#include "Engine/Http/clsUrlCache.h"

#include <cstdint>
#include <curl/curl.h>
#include <random>
#include <string>
#include <vector>

class clsQuillaraEngine;
class clsQuillaraItem;
class clsUrlInformation;
struct clsEngineOptions;

// One network read (or head-only request) that a worker drives on its multi handle without
// a thread of its own: the sends of every redirect hop and retry, each after its pacing
// turn, and the body handed to the node in blocks. Waits (a host's turn, a retry's
// back-off) are due times the worker keeps; a silent server holds only the connection. The
// notifications are those a worker that waited in line for each step would post, in the same
// order. Only the worker's thread touches a transfer.
class clsTransfer {
public:
    // info and node: the job's queue reference and node reference (node null for a head-only
    // request), both given back by the transfer. The first send's turn (and, with pacing per
    // host, its host) has been taken with the job. spares: the worker's easy handles kept
    // from ended transfers; the transfer takes one from there and gives its own back.
    clsTransfer(clsQuillaraEngine* engine, CURLM* multi, std::vector<CURL*>* spares,
                clsUrlInformation* info, clsQuillaraItem* node, std::uint32_t seed);
    ~clsTransfer();
    clsTransfer(const clsTransfer&) = delete;
    clsTransfer& operator=(const clsTransfer&) = delete;

    // Sends the first request; false when the transfer has already ended.
    bool start(std::uint64_t now);
    // The multi handle reported the easy handle finished.
    void onDone(CURLcode result);
    // Moves the transfer on as far as it goes now; false once it has ended.
    bool step(std::uint64_t now);
    // Ends the transfer at once: failed, cancelled (the worker is stopping).
    void cancel();
    // The latest tick at which step() must run again, whatever the sockets do.
    std::uint64_t nextCheck() const;
    bool hasEnded() const;
    // The host an ended transfer still holds, given to the caller to release with the
    // transfer's place; false when it holds none.
    bool handOverHost(std::string& heldHost);

private:
    enum class Stage { waitTurn, sending, draining, waitRetry, body, ended };
    enum class AfterDrain { redirect, retry, copy };

    bool sendNow(std::uint64_t now);
    bool takeTurn(std::uint64_t now);
    void onSending(std::uint64_t now);
    void onHeader(std::uint64_t now);
    void judgeResponse(std::uint64_t now);
    bool wantsRetry(int& waitMs, bool& holdHost);
    void sendFailed(std::uint64_t now, const std::string& message);
    void startDrain(std::uint64_t now, AfterDrain next);
    void endDrain(std::uint64_t now);
    void serveCopy(std::uint64_t now);
    void waitForRetry(std::uint64_t now, int waitMs, bool holdHost);
    void headerFinal();
    void onBody(std::uint64_t now);
    bool handOneBlock(bool& more);
    void takeWhole();
    void describeFtpResponse();
    void failStart(int code);
    void endRead(clsRequestStatus status, int result);
    void failBody(int code, const std::string& message);
    void detach();
    void giveBackHandle();
    void setSharedOptions();
    void releaseHost();
    bool timedOut(std::uint64_t now) const;
    int backoffMs();
    std::size_t pending() const { return body.size() - bodyOffset; }

    static std::size_t onHeaderData(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t onBodyData(char* data, std::size_t size, std::size_t count, void* user);

    clsQuillaraEngine* engine;
    const clsEngineOptions& options;
    CURLM* multi;
    std::vector<CURL*>* spares;
    CURL* easy = nullptr;
    clsUrlInformation* info;
    clsQuillaraItem* node;
    Stage stage = Stage::waitTurn;
    AfterDrain afterDrain = AfterDrain::redirect;
    std::uint64_t due = 0;
    std::string host; // the host (its hostKey) whose connection this transfer holds
    bool hostHeld = false;

    // The response under way.
    bool attached = false;
    bool headerDone = false;
    bool done = false;
    bool keepBody = true;
    bool ftp = false;
    CURLcode result = CURLE_OK;
    std::string lastReply;
    std::string headerLines;
    std::string body;
    std::size_t bodyOffset = 0;
    std::uint64_t lastActivity = 0;
    std::uint64_t wireBytes = 0;
    curl_slist* requestHeaders = nullptr;
    std::string url;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    // The hops and retries of the request.
    clsRedirectChain chain;
    bool chainStarted = false;
    bool permanent = true;
    int retry = 0;
    bool lastFailureRetryable = false;
    bool haveCopy = false;
    bool skipCopy = false;
    clsUrlCache::Entry copy;
    std::string redirectTarget;
    int retryWaitMs = 0;
    bool retryHoldsHost = false;
    std::uint64_t drainUntil = 0;
    bool announced = false;
    std::minstd_rand jitter;
};
