#pragma once

#include "Engine/Core/clsQueueItem.h"
#include "Engine/Snapshot/clsSnapshotReport.h"
#include "Engine/Snapshot/clsSnapshotRewriter.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class clsCommunicationHttp;
class clsQuillaraEngine;
class clsSnapshotFetch;

// A snapshot of one web page: fetches the page, rewrites it so that it opens from disk,
// stores it in the snapshot folder, and fetches and stores what it needs to be shown (frames
// first, then images, style sheets, backgrounds, icons). Links to other pages become absolute
// addresses and are not followed.
//
// The engine's startSnapshot makes it; it queues itself (job 4) and a communication worker
// starts it. Every file is then a communication job of its own (clsSnapshotFetch), so the
// four workers fetch a snapshot's files side by side, each request paced like any other (one
// a second in the program, or per host with PacePerHost): pages first (the top page, then
// frames, level by level), then what they need. It reports by two notifications: 3029 after
// a file was saved (the top page first) and, exactly once whatever happens, 3030 when the
// last job has ended; the engine deletes it after 3030.
//
// Threads: run(), runFetch() and fetchDropped() on the workers (downloads without the lock,
// saving and naming under it); cancel() and stop() from any thread (atomic flags); the
// notifications carry copies (clsSnapshotReport), never the object the workers change.
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

    // Where a run stands: set up and queued, its files handed to the workers, every file
    // saved. A stopped or cancelled run never reaches complete; clear goes back to cleared.
    enum class Step : int { cleared = 0, queued = 1, fetching = 2, complete = 8 };
    static const char* nameOf(Step step);

    // Stores the parameters, goes to queued, and queues the snapshot with the engine; queueId gets
    // the request id. folder is made to end with '/'. Scripts are kept when the setting
    // PrefFile/SnapshotScripts says so, else removed.
    [[nodiscard]] bool setup(int mode, const std::string& url, const std::string& folder,
                             int& queueId);
    // Worker thread: names the top page and queues its fetch (or ends at once). The object
    // must not be touched by the caller afterwards: the last fetch to end hands it back.
    [[nodiscard]] bool run(clsCommunicationHttp* transport,
                           const std::atomic<bool>& workerStopping);
    // Worker thread: fetches and saves one file with the worker's transport (null: no
    // network), then queues what it named; the last one ends the snapshot.
    void runFetch(const clsSnapshotFetch& fetch, clsCommunicationHttp* transport,
                  const std::atomic<bool>& workerStopping);
    // A fetch job that was dropped (the engine stopped): the snapshot ends as stopped.
    void fetchDropped(const clsSnapshotFetch& fetch);
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

protected:
    struct Entry {
        std::string url;
        std::string name;
        int kind = 0;
    };
    // A saved page or style sheet as fetched, kept until the end in a hidden file of the folder
    // (not in memory): one that refers to an entry that then failed (or never ran) is written
    // again without that reference.
    struct Document {
        std::string name;
        std::string source; // the hidden file holding the text before rewriting
        std::string text;   // the text itself, only when that file could not be written
        std::string base;
        std::string charset;
        int kind = 0;
        std::set<std::string> references; // address keys
    };
    // The fetched copy of an entry.
    struct Fetched {
        std::string path;
        bool isTemp = false;
        std::int64_t reserved = 0; // bytes counted against the snapshot's limit
        std::string finalUrl;
        std::string contentType;
    };

    // Rewrites a fetched page and saves it; protected so that a test can make it fail.
    virtual bool savePage(const Entry& entry, const Fetched& fetched, clsSnapshotEntry& result);

private:
    bool shouldEnd(const clsCommunicationHttp* transport, const std::atomic<bool>& stopping) const;
    void dispatch();
    void setStep(Step next);
    void endFetch(int kind, bool workerStopped);
    void recordFailure(clsSnapshotEntry& result, Fetched& fetched, const std::string& why);
    void complete();
    void endRun();
    bool download(const Entry& entry, Fetched& fetched, clsSnapshotEntry& result,
                  clsCommunicationHttp* transport, const std::atomic<bool>& stopping);
    bool fetchHttp(const Entry& entry, Fetched& fetched, clsSnapshotEntry& result,
                   clsCommunicationHttp* transport, const std::atomic<bool>& stopping);
    bool saveResource(const Entry& entry, const Fetched& fetched, clsSnapshotEntry& result);
    std::string fileLimitText() const;
    std::string totalLimitText() const;
    bool reserve(std::int64_t size, Fetched& fetched, clsSnapshotEntry& result);
    void finishEntry(clsSnapshotEntry& result, Fetched& fetched);
    std::string nameFor(const std::string& absolute, int kind);
    std::string rewrite(Document& document, const std::string& text);
    // Keeps the text a page was rewritten from beside it until the end.
    void keepDocument(Document document, const std::string& text);
    void repairDocuments();
    // Removes the hidden files of the kept documents and forgets them.
    void dropDocuments();
    std::string uniqueName(const std::string& wanted);
    bool isFetchable(const std::string& absolute) const;
    std::string newTempPath();

    clsQuillaraEngine* engine;
    int mode = 0;
    std::string url;
    std::string folder;
    int queueId = 0;
    bool allowLocal = false;
    std::int64_t fileLimit = 0;  // bytes; 0 none
    std::int64_t totalLimit = 0; // bytes; 0 none
    std::atomic<bool> cancelRequested{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<Step> step{Step::cleared};
    std::atomic<std::size_t> tempCounter{0};
    std::atomic<std::int64_t> usedBytes{0}; // saved and arriving, against totalLimit
    bool dropped = false;

    // Under lock: what the fetches share.
    mutable std::mutex lock;
    std::string topFile;
    std::string topName;
    std::deque<Entry> pageQueue;
    std::deque<Entry> resourceQueue;
    int outstanding = 0;      // fetch jobs queued or running
    int pagesOutstanding = 0; // of them, pages
    bool interrupted = false; // a worker stopped or a job was dropped: nothing more is queued
    bool cancelled = false;
    bool stopped = false;
    bool limitReached = false;
    std::size_t entryLimit = defaultEntryLimit;
    clsSnapshotRewriter::ScriptPolicy scripts = clsSnapshotRewriter::scriptsRemoved;
    std::map<std::string, std::string> names; // address key -> local name
    std::set<std::string> usedNames;          // lower case
    std::set<std::string> savedKeys;          // address keys of the saved entries
    std::vector<Document> documents;
    Document* currentDocument = nullptr; // collects the references while it is rewritten
    bool finalNaming = false;            // only saved entries get their local names
    std::vector<clsSnapshotEntry> done;
};
