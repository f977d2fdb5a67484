#pragma once

#include "Engine/Core/clsEngineOptions.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Platform/MessageTarget.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class tviCabinet;
class tviCabinetItem;

// What a check found for one URL item.
struct tviCheckResult {
    std::string path; // the folder names from the cabinet down, joined by '/'
    std::string name;
    std::string url;
    clsRequestStatus status = clsRequestStatus::registered;
    int result = 0;             // result code: 0, -1, -2 or the HTTP status
    std::string statusText;     // as the tree shows it (Shift_JIS)
    int attempts = 0;           // requests sent for it, retries included (0: none sent)
    int retryAfter = 0;         // seconds a Retry-After asked for that were too long to wait
    std::string movedTo;        // where permanent redirects (301, 308) led, when it loaded there
    bool notModified = false;   // the server answered 304: the cached copy was analysed
    long long wireBytes = 0;    // bytes received over the network for it
    std::string archived{};     // the archived copy (memento) found for a dead item, or empty
    long long archivedDate = 0; // its date (Unix seconds), 0 when the archive gave none
    bool failed() const { return status == clsRequestStatus::failed; }
    // Nothing fetches the address's scheme (mailto:, news:, ...): neither loaded nor failed.
    bool unchecked() const { return status == clsRequestStatus::unchecked; }
    bool loaded() const { return status == clsRequestStatus::complete; }
    bool moved() const { return !movedTo.empty(); }
};

// Loads every URL item of one cabinet through the engine, as selecting each item would, on an
// in-memory tree without a window: the headless link check of quillara-cli. The engine's
// notifications pass through the check on their way to the tree, so that it counts finished
// items by looking only at those a notification reached.
class tviCabinetCheck : public clsEngineTarget {
public:
    explicit tviCabinetCheck(const clsEngineOptions& options);
    ~tviCabinetCheck() override;
    tviCabinetCheck(const tviCabinetCheck&) = delete;
    tviCabinetCheck& operator=(const tviCabinetCheck&) = delete;

    // Opens path as a cabinet. False when it cannot be read at all; a cabinet read only in
    // part opens (read-only) and loadError() says why.
    [[nodiscard]] bool open(const std::string& path);
    tviCabinet* cabinet() const { return cabinet_; }
    ctrlMemoryTreeView& tree() { return tree_; }
    const std::string& loadError() const;

    // Requests every cabinet item and waits for their pages, at most giveUpMs; what has not
    // ended by then is cancelled and counted as failed (result -2). progress(done, total)
    // follows every finished item.
    [[nodiscard]] bool run(int giveUpMs, const std::function<void(size_t, size_t)>& progress = {});
    // Every URL item in tree order, with what the check found.
    const std::vector<tviCheckResult>& results() const { return results_; }
    size_t failedCount() const;
    size_t uncheckedCount() const;
    size_t loadedCount() const;
    size_t movedCount() const;
    size_t retriedCount() const;
    // Writes the statuses into the cabinet file (atomically).
    [[nodiscard]] bool save();
    // Gives every moved item its new address and writes the cabinet (atomically), with the
    // statuses found when withStatuses, else with those it had before. changes lists
    // (old, new) in tree order. Nothing is written when nothing moved.
    bool updateMoved(std::vector<std::pair<std::string, std::string>>& changes, bool withStatuses);

    // A failed item whose page is gone (404, 410) or whose server could not be reached is
    // worth an archived copy.
    static bool wantsArchive(const tviCheckResult& r);
    // Asks the Memento TimeGate timeGate (its address, to which the item's address is
    // appended) through the engine, with its pacing and retries, for the copy of each such
    // item closest to the day it was added, else to its last load kept in the page cache, else
    // to now; waits at most giveUpMs. A copy found
    // goes into the result and the item (archived, archivedDate). An empty timeGate asks none.
    bool findArchived(const std::string& timeGate, int giveUpMs);
    size_t archivedCount() const;
    // Writes the cabinet with what the check found on its items (archived copies, new
    // addresses) and, unless withStatuses, the statuses they had before the check.
    bool saveFound(bool withStatuses);
    // Gives every item with an archived copy the copy's address and writes the cabinet as
    // saveFound does. changes lists (old, new) in tree order.
    bool updateArchived(std::vector<std::pair<std::string, std::string>>& changes,
                        bool withStatuses);

    void onNodeNotify(int id, clsQuillaraItem* node, clsNodePhase phase) override;
    void onHeadNotify(int id, int linkKind, const std::string& address, const std::string& fileName,
                      const std::string& protocol, int contentLength,
                      const std::string& lastModifiedText) override
    {
        tree_.onHeadNotify(id, linkKind, address, fileName, protocol, contentLength,
                           lastModifiedText);
    }
    void onSnapshotNotify(int id, const clsSnapshotReport& report, clsSnapshotPhase phase) override
    {
        tree_.onSnapshotNotify(id, report, phase);
    }

private:
    void collect();
    void noteFinished(tviTreeViewItem* item);

    platform::QueueMessageTarget window_;
    clsQuillaraEngine engine_;
    ctrlMemoryTreeView tree_;
    tviCabinet* cabinet_ = nullptr;
    std::vector<tviCheckResult> results_;
    std::vector<tviCabinetItem*> resultItems_; // the item of each result
    std::vector<std::pair<tviCabinetItem*, clsRequestStatus>> statusBefore_;
    bool engineStarted_ = false;
    // The items of the run under way, by position, and which of them have finished.
    std::unordered_map<const tviTreeViewItem*, size_t> position_;
    std::vector<char> finished_;
    size_t finishedCount_ = 0;
};
