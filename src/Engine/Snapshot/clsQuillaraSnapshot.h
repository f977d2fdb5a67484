#pragma once

#include "Engine/Core/clsQueueItem.h"
#include "Engine/Snapshot/clsSnapshotReport.h"
#include "Engine/Snapshot/clsSnapshotRewriter.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <map>
#include <set>
#include <string>

class clsCommunicationHttp;
class clsQuillaraEngine;

// A snapshot of one web page: fetches the page, rewrites it so that it opens from disk,
// stores it in the snapshot folder, and fetches and stores what it needs to be shown (frames
// first, then images, style sheets, backgrounds, icons). Links to other pages become absolute
// addresses and are not followed.
//
// The engine's startSnapshot makes it; it queues itself (job 4) and a communication worker
// runs it to the end with that worker's transport (the program's pacing and agent name).
// It reports by two notifications: 3029 after a file was saved (the top page first) and,
// exactly once whatever happens, 3030 when it has ended; the engine deletes it after 3030.
//
// Threads: run() on one worker; cancel() and stop() from any thread (atomic flags); the
// notifications carry copies (clsSnapshotReport), never the object the worker changes.
class clsQuillaraSnapshot : public clsQueueItem {
public:
    // Where pages come from: 1 network only, 2 the page cache only, anything else the cache
    // first, then the network.
    enum Mode { modeCacheFirst = 0, modeNetworkOnly = 1, modeCacheOnly = 2 };
    static constexpr std::size_t defaultEntryLimit = 2000;

    explicit clsQuillaraSnapshot(clsQuillaraEngine* engine);
    ~clsQuillaraSnapshot() override;
    clsQuillaraSnapshot(const clsQuillaraSnapshot&) = delete;
    clsQuillaraSnapshot& operator=(const clsQuillaraSnapshot&) = delete;

    // Stores the parameters, state 1, and queues the snapshot with the engine; queueId gets
    // the request id. folder is made to end with '/'. Scripts are kept when the setting
    // PrefFile/SnapshotScripts says so, else removed.
    bool setup(int mode, const std::string& url, const std::string& folder, int& queueId);
    // Worker thread: runs the states to the end (or until cancelled or stopped, or the
    // worker stops) and sends the completion. transport may be null (no network then).
    // The object must not be touched by the caller afterwards: the engine owns it again.
    bool run(clsCommunicationHttp* transport, const std::atomic<bool>& workerStopping);
    // Ends the run at the next step and removes its temporary file. What was saved stays.
    void cancel();
    // Ends the run at the next step and keeps its state.
    void stop();
    bool isComplete() const;
    // Empties the queues and the current entry and removes the temporary file, if any.
    void clear();

    int getQueueId() const { return queueId; }
    void setQueueId(int id) { queueId = id; }
    const std::string& getUrl() const { return url; }
    const std::string& getFolder() const { return folder; }
    void setEntryLimit(std::size_t limit) { entryLimit = limit; }
    clsSnapshotRewriter::ScriptPolicy getScriptPolicy() const { return scripts; }
    // The job was dropped before it ran (the engine stopped).
    void markDropped() { dropped = true; }

    // A copy of what the receiver may show; entries only when withEntries.
    clsSnapshotReport makeReport(bool withEntries) const;

    // The file name an address is saved under, before it is made unique: the last path
    // segment, percent-decoded, kept to ASCII letters, digits, '.', '-' and '_'; a page
    // ends in ".htm"/".html" ("index.html" for an empty name), a style sheet in ".css".
    static std::string localNameOf(const std::string& address, int kind);
    // The form of an address that decides whether two references name the same file: scheme
    // and host in lower case, no default port, no fragment, unreserved characters unescaped.
    static std::string addressKey(const std::string& address);

private:
    struct Entry {
        std::string url;
        std::string name;
        int kind = 0;
    };
    // A saved page or style sheet as fetched, kept until the end: one that refers to an entry
    // that then failed (or never ran) is written again without that reference.
    struct Document {
        std::string name;
        std::string text;
        std::string base;
        std::string charset;
        int kind = 0;
        std::set<std::string> references; // address keys
    };
    // The fetched copy of the current entry.
    struct Fetched {
        std::string path;
        bool isTemp = false;
        std::string finalUrl;
        std::string contentType;
    };

    bool shouldEnd() const;
    void step();
    bool download(const Entry& entry, Fetched& fetched, clsSnapshotEntry& result);
    bool fetchHttp(const Entry& entry, Fetched& fetched, clsSnapshotEntry& result);
    bool savePage(const Entry& entry, const Fetched& fetched, clsSnapshotEntry& result);
    bool saveResource(const Entry& entry, const Fetched& fetched, clsSnapshotEntry& result);
    void finishEntry(clsSnapshotEntry& result, Fetched& fetched);
    std::string nameFor(const std::string& absolute, int kind);
    std::string rewrite(const Document& document);
    void repairDocuments();
    std::string uniqueName(const std::string& wanted);
    bool isFetchable(const std::string& absolute) const;
    std::string newTempPath();
    void removeTemp();

    clsQuillaraEngine* engine;
    int mode = 0;
    std::string url;
    std::string folder;
    std::string topFile;
    std::string topName;
    int queueId = 0;
    std::deque<Entry> pageQueue;
    std::deque<Entry> resourceQueue;
    std::atomic<bool> cancelRequested{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<int> state{0};
    std::string currentTemp;
    bool allowLocal = false;
    bool dropped = false;
    bool cancelled = false;
    bool stopped = false;
    bool limitReached = false;
    std::size_t entryLimit = defaultEntryLimit;
    clsSnapshotRewriter::ScriptPolicy scripts = clsSnapshotRewriter::scriptsRemoved;
    std::size_t tempCounter = 0;
    std::map<std::string, std::string> names; // address key -> local name
    std::set<std::string> usedNames;          // lower case
    std::set<std::string> savedKeys;          // address keys of the saved entries
    std::vector<Document> documents;
    Document* currentDocument = nullptr;      // collects the references while it is rewritten
    bool finalNaming = false;                 // only saved entries get their local names
    std::vector<clsSnapshotEntry> done;
    clsCommunicationHttp* transport = nullptr;
    const std::atomic<bool>* workerStopping = nullptr;
};
