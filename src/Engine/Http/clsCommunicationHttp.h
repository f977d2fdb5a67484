#pragma once

#include "Engine/Http/clsCommunicationController.h"
#include "Engine/Http/clsUrlCache.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <random>
#include <string>

class clsQuillaraEngine;
class clsSendPacer;
struct clsEngineOptions;

// The transport of one worker, on one libcurl easy handle driven by a multi handle of its
// own, both kept for the transport's life so that connections to a host stay open between
// requests. readStart sends a GET (redirects off: the transport follows them itself), or for
// an ftp: or ftps: address a RETR, and returns once the response header is in (for FTP: once
// the file has begun to arrive); readNext hands the body on in blocks of 2048 bytes as it
// arrives. Every wait polls in short steps, so cancel() ends any transfer at
// once, whatever the server does.
class clsCommunicationHttp : public clsCommunicationController {
public:
    clsCommunicationHttp(clsQuillaraEngine* engine, const clsEngineOptions& options,
                         clsSendPacer* pacer);
    ~clsCommunicationHttp() override;

    bool init() override;
    bool term() override;
    bool readStart(clsUrlInformation* info) override;
    bool readNext(clsUrlInformation* info, clsQuillaraItem* node, bool& more) override;
    // Any thread: ends the request under way; the transport stays cancelled for good (its
    // worker is stopping).
    virtual void cancel();
    bool isCancelled() const;
    // The result code of the last failure: -1 transport error, -2 cancelled, or the 3xx code
    // of a redirect that was not followed (too many, a loop, not http).
    int getFailureCode() const;
    // Waits until the first block of the body is in, or all of a shorter body; false (and
    // the request ended) when the transfer fails meanwhile.
    bool waitForBlock();
    // The response under way has arrived whole: readNext will not wait.
    bool isBodyIn() const;
    // Ends the request under way; the body (if any) is not wanted.
    void closeRequest();

    // Whether a transport fetches addresses of scheme (lower case): http, https, ftp, ftps.
    static bool speaks(const std::string& scheme);

    static constexpr std::size_t blockSize = 2048;
    // Seconds a Retry-After value asks for (seconds or an HTTP-date, against now); -1 when
    // it is neither.
    static int retryAfterSeconds(const std::string& value, std::time_t now);

private:
    struct Session;

    bool sendOnce(clsUrlInformation* info, const clsUrlCache::Entry* cached);
    bool sendConditional(clsUrlInformation* info);
    bool sendWithRetries(clsUrlInformation* info);
    bool followChain(clsUrlInformation* info);
    bool retryWanted(clsUrlInformation* info, bool sent, int retry, int& waitMs, bool& holdHost);
    bool waitBeforeRetry(clsUrlInformation* info, int waitMs, bool holdHost);
    int backoffMs(int retry);
    bool followRedirect(clsUrlInformation* info, const std::string& target);
    bool pump(int waitMs);
    bool fillBlock();
    bool waitForHeader(clsUrlInformation* info);
    bool timedOut() const;
    // An FTP transfer has no response header: the last reply of the server, the size and
    // date it gave and a type from the file's extension stand in for one.
    void describeFtpResponse(clsUrlInformation* info);
    bool fail(int code, const char* operation, const std::string& message);
    bool reset();
    void drainSmallBody();
    std::string curlError() const;

    clsQuillaraEngine* engine;
    const clsEngineOptions& options;
    clsSendPacer* pacer;
    std::unique_ptr<Session> session;
    std::mutex sessionLock; // guards session against cancel() from another thread
    std::atomic<bool> cancelled{false};
    int failureCode = 0;
    bool lastFailureRetryable = false;
    std::uint64_t wireBytes = 0; // received for the request under way, headers included
    std::minstd_rand jitter;
};
