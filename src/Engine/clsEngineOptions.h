#pragma once

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
    int receiveTimeoutMs = 30000; // longest time without any byte from the server
    int paceIntervalMs = 1000;    // 0 turns pacing off
    clsPaceMode paceMode = clsPaceMode::programWide;
    int maxRedirects = 10;

    // Makes the analysis node of a new read; empty means createAnalysisNode.
    std::function<clsQuillaraItem*(int linkKind)> nodeFactory;

    // Communication/HttpAgentName, ConnectTimeout, ReceiveTimeout (seconds) and PacePerHost
    // from the settings when they are loaded, else the defaults above.
    static clsEngineOptions fromSettings();
};
