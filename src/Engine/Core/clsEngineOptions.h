#pragma once

#include <cstdint>
#include <functional>
#include <string>

class clsQuillaraItem;

// How pacing is applied to HTTP requests.
enum class clsPaceMode {
    programWide, // at most one request per interval in the whole program (the default)
    perHost,     // at most one request per interval to each host
};

// What the engine and its transports take from the settings. Tests set short timeouts and
// pacing off; the program reads them once, at acquireEngine, with fromSettings.
struct clsEngineOptions {
    std::string agentName = "Tornavi Quillara V1.0";
    int connectTimeoutMs = 10000;
    int receiveTimeoutMs = 10000; // longest time without any byte from the server
    int paceIntervalMs = 1000;    // 0 turns pacing off
    clsPaceMode paceMode = clsPaceMode::programWide;
    int maxRedirects = 10;
    // Transfers in flight at most (sending, receiving or waiting for a retry), across the
    // four workers.
    int maxTransfers = 64;
    // A time-out, a reset or refused connection, or a 408, 429, 500, 502, 503 or 504 is
    // tried again up to retryCount more times, after 1, 2, 4 ... seconds (plus jitter), or
    // after the Retry-After of a 429 or 503 when that asks for no more than retryMaxWaitSeconds.
    int retryCount = 2;
    int retryMaxWaitSeconds = 60;
    // The real length of one second of those waits: tests shrink it to a few milliseconds.
    int retryUnitMs = 1000;
    // Told of every wait before a retry, in whole-second milliseconds before retryUnitMs
    // scales it (tests record them here instead of measuring time).
    std::function<void(const std::string& address, int waitMs)> onRetryWait;

    // Bytes a snapshot saves at most for one file and for the whole snapshot: a file over
    // either limit fails and keeps its web address.
    std::int64_t snapshotFileLimitBytes = std::int64_t{50} << 20;
    std::int64_t snapshotLimitBytes = std::int64_t{500} << 20;

    // Makes the analysis node of a new read; empty means createAnalysisNode.
    std::function<clsQuillaraItem*(int linkKind)> nodeFactory;

    // Communication/HttpAgentName, ConnectTimeout, ReceiveTimeout (seconds), PacePerHost,
    // RetryCount, RetryMaxWait, MaxTransfers, SnapshotFileLimitMB and SnapshotLimitMB from the settings when they are loaded, else the defaults above.
    static clsEngineOptions fromSettings();
};
