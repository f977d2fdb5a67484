#include "TreeViewItem/Cabinet/tviCabinetCheck.h"

#include "Common/kivaTime.h"
#include "Common/utlLog.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Http/clsUrlCache.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Platform/FileStamp.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Cabinet/tviCabinetSource.h"

#include <chrono>
#include <cstdlib>
#include <ctime>

tviCabinetCheck::tviCabinetCheck(const clsEngineOptions& options)
{
    window_.setHandler([this](const platform::Message& m) { engine_.handleMessage(m); });
    engineStarted_ = engine_.init(this, &window_, options);
    tree_.setEngine(&engine_);
}

tviCabinetCheck::~tviCabinetCheck()
{
    if (engineStarted_) {
        engine_.term();
    }
    window_.setHandler([](const platform::Message& m) { clsQuillaraEngine::DiscardMessage(m); });
    while (window_.pump(0) > 0) {
    }
    tree_.setEngine(nullptr);
}

bool tviCabinetCheck::open(const std::string& path)
{
    auto owned = std::make_unique<tviCabinetSource>(&tree_);
    owned->setPath(path);
    auto* source = static_cast<tviCabinetSource*>(tree_.adopt(std::move(owned)));
    cabinet_ = source;
    if (!cabinet_->insertItem(kTreeRoot, kTreeLast)) {
        return logError(path + ": no node");
    }
    source->loadSource();
    return !cabinet_->isUnreadable();
}

const std::string& tviCabinetCheck::loadError() const
{
    static const std::string none;
    return cabinet_ != nullptr ? cabinet_->getLoadError() : none;
}

namespace {

bool isFinished(const tviTreeViewItem* item)
{
    clsRequestStatus status = item->getStatus();
    return item->getRequest() != nullptr &&
           (status == clsRequestStatus::complete || status == clsRequestStatus::failed ||
            status == clsRequestStatus::unchecked);
}

} // namespace

void tviCabinetCheck::onNodeNotify(int id, clsQuillaraItem* node, clsNodePhase phase)
{
    tree_.onNodeNotify(id, node, phase);
    for (tviTreeViewItem* item : tree_.itemsOfRequest(id)) {
        noteFinished(item);
    }
}

void tviCabinetCheck::noteFinished(tviTreeViewItem* item)
{
    auto found = position_.find(item);
    if (found == position_.end()) {
        return;
    }
    char now = isFinished(item) ? 1 : 0;
    char& was = finished_[found->second];
    if (now != was) {
        finishedCount_ = finishedCount_ + now - was;
        was = now;
    }
}

bool tviCabinetCheck::run(int giveUpMs, const std::function<void(size_t, size_t)>& progress)
{
    if (!engineStarted_ || cabinet_ == nullptr) {
        return logError("no engine or no cabinet");
    }
    std::vector<tviCabinetItem*> items;
    for (TreeNode n : tree_.subtreeNodes(cabinet_->getHandle())) {
        tviTreeViewItem* item = tree_.getItem(n);
        if (item != nullptr && item->getType() == typeCabinetItem) {
            items.push_back(static_cast<tviCabinetItem*>(item));
        }
    }
    position_.clear();
    position_.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        position_.emplace(items[i], i);
    }
    finished_.assign(items.size(), 0);
    finishedCount_ = 0;
    for (tviCabinetItem* item : items) {
        noteFinished(item);
    }
    tree_.makeSubItems = false;
    statusBefore_.clear();
    // Items that show one address share one request: asking the engine again for each would
    // only post the same finished page to all of them once more, for every one of them.
    std::unordered_map<std::string, int> requested;
    for (tviCabinetItem* item : items) {
        statusBefore_.emplace_back(item, item->getStatus());
        item->tviURLItem::setStatus(clsRequestStatus::registered);
        noteFinished(item);
        auto shared = requested.find(item->getUrl());
        if (shared != requested.end()) {
            tree_.share(item, shared->second);
        } else if (tree_.request(item, clsRequestMode::read)) {
            requested.emplace(item->getUrl(), item->getRequestNumber());
        }
    }
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(giveUpMs);
    size_t done = 0;
    while (std::chrono::steady_clock::now() < giveUp) {
        if (finishedCount_ != done) {
            done = finishedCount_;
            if (progress) {
                progress(done, items.size());
            }
        }
        if (done == items.size()) {
            break;
        }
        window_.pump(50);
    }
    // What did not end in time is given up: the transfers stop, the items count as failed.
    if (done < items.size()) {
        engine_.queueStop();
        window_.pump(200);
        for (tviCabinetItem* item : items) {
            if (!isFinished(item)) {
                item->setStatus(clsRequestStatus::failed);
            }
        }
    }
    position_.clear();
    collect();
    return true;
}

void tviCabinetCheck::collect()
{
    results_.clear();
    resultItems_.clear();
    for (TreeNode n : tree_.subtreeNodes(cabinet_->getHandle())) {
        tviTreeViewItem* item = tree_.getItem(n);
        if (item == nullptr || item->getType() != typeCabinetItem) {
            continue;
        }
        tviCheckResult r;
        for (tviTreeViewItem* p = item->parentItem();
             p != nullptr && p->getType() == typeCabinetFolder; p = p->parentItem()) {
            r.path = r.path.empty() ? p->getText() : p->getText() + "/" + r.path;
        }
        r.name = item->getText();
        r.url = item->getUrl();
        r.status = item->getStatus();
        clsQuillaraItem* request = item->getRequest();
        clsUrlInformation* owner = request != nullptr ? request->getOwner() : nullptr;
        r.result = owner != nullptr ? owner->getResultCode()
                                    : (r.status == clsRequestStatus::failed ? resultCancelled : 0);
        bool isError = false;
        item->getStatusText(r.statusText, isError);
        if (owner != nullptr) {
            r.attempts = owner->getAttempts();
            r.retryAfter = owner->getRetryAfterRefused();
            r.notModified = owner->isNotModified();
            r.wireBytes = owner->getWireBytes();
            std::string moved = owner->getMovedAddress();
            if (r.status == clsRequestStatus::complete && moved != r.url)
                r.movedTo = moved;
        }
        results_.push_back(std::move(r));
        resultItems_.push_back(static_cast<tviCabinetItem*>(item));
    }
}

size_t tviCabinetCheck::failedCount() const
{
    size_t n = 0;
    for (const tviCheckResult& r : results_) {
        n += r.failed() ? 1 : 0;
    }
    return n;
}

size_t tviCabinetCheck::uncheckedCount() const
{
    size_t n = 0;
    for (const tviCheckResult& r : results_) {
        n += r.unchecked() ? 1 : 0;
    }
    return n;
}

size_t tviCabinetCheck::loadedCount() const
{
    size_t n = 0;
    for (const tviCheckResult& r : results_) {
        n += r.loaded() ? 1 : 0;
    }
    return n;
}

bool tviCabinetCheck::save()
{
    return cabinet_ != nullptr && cabinet_->save();
}

size_t tviCabinetCheck::movedCount() const
{
    size_t n = 0;
    for (const tviCheckResult& r : results_) {
        n += r.moved() ? 1 : 0;
    }
    return n;
}

size_t tviCabinetCheck::retriedCount() const
{
    size_t n = 0;
    for (const tviCheckResult& r : results_) {
        n += r.attempts > 1 ? 1 : 0;
    }
    return n;
}

bool tviCabinetCheck::updateMoved(std::vector<std::pair<std::string, std::string>>& changes,
                                  bool withStatuses)
{
    changes.clear();
    for (size_t i = 0; i < results_.size(); ++i) {
        if (results_[i].moved()) {
            changes.emplace_back(results_[i].url, results_[i].movedTo);
        }
    }
    if (changes.empty() || cabinet_ == nullptr) {
        return true;
    }
    std::vector<std::pair<tviCabinetItem*, clsRequestStatus>> found;
    if (!withStatuses) {
        for (auto& [item, status] : statusBefore_) {
            found.emplace_back(item, item->getStatus());
            item->tviURLItem::setStatus(status);
        }
    }
    std::vector<std::pair<tviCabinetItem*, std::string>> oldUrls;
    for (size_t i = 0; i < results_.size(); ++i) {
        if (results_[i].moved()) {
            oldUrls.emplace_back(resultItems_[i], resultItems_[i]->getUrl());
            resultItems_[i]->setUrl(results_[i].movedTo);
        }
    }
    bool saved = cabinet_->save();
    for (auto& [item, status] : found) {
        item->tviURLItem::setStatus(status);
    }
    // What is not in the file is not in the tree either.
    if (!saved) {
        for (auto& [item, url] : oldUrls) {
            item->setUrl(url);
        }
        changes.clear();
    }
    return saved;
}

namespace {

// The link kind of the archive lookups: no tree item asks with it, so their records are
// never shared with a page of the cabinet.
constexpr int archiveLinkKind = 19;

std::string httpDateOf(std::int64_t seconds)
{
    kivaTime time;
    std::string text;
    if (seconds <= 0 || !time.fromCalendarSeconds(static_cast<std::time_t>(seconds)) ||
        !time.toHttpDate(text)) {
        kivaTime::now().toHttpDate(text);
    }
    return text;
}

// When the page of address was last loaded: the time its copy in the page cache was written,
// 0 when the cache (if open) has none.
std::int64_t lastLoaded(const std::string& address)
{
    clsUrlCache* cache = FindUrlCache();
    std::string body;
    if (cache == nullptr || !cache->lookup(clsUrlInformation::normaliseAddress(address), body)) {
        return 0;
    }
    platform::FileStamp stamp = platform::FileStamp::of(body);
    return stamp.exists ? stamp.modifiedNs / 1000000000 : 0;
}

std::int64_t secondsOfHttpDate(const std::string& text)
{
    kivaTime time;
    std::time_t seconds = 0;
    if (!time.fromHttpDate(text) || !time.toCalendarSeconds(seconds)) {
        return 0;
    }
    return seconds;
}

} // namespace

bool tviCabinetCheck::wantsArchive(const tviCheckResult& r)
{
    return r.failed() && (r.result == 404 || r.result == 410 || r.result == resultTransportError);
}

bool tviCabinetCheck::findArchived(const std::string& timeGate, int giveUpMs)
{
    if (timeGate.empty() || !engineStarted_) {
        return true;
    }
    std::vector<std::pair<size_t, clsUrlInformation*>> lookups;
    for (size_t i = 0; i < results_.size(); ++i) {
        if (!wantsArchive(results_[i])) {
            continue;
        }
        std::string address = timeGate + results_[i].url;
        clsUrlInformation* info = nullptr;
        // Registered first and queued after, so that the date is on the record before a
        // worker can send it.
        if (!engine_.requestItem(clsRequestMode::registerOnly, archiveLinkKind, address, info) ||
            info == nullptr) {
            continue;
        }
        if (info->getStatus() == clsRequestStatus::registered) {
            // The copy closest to the day the item was added, else to its last good load, else now.
            std::int64_t wanted = resultItems_[i]->getAddDate();
            if (wanted <= 0) {
                wanted = lastLoaded(results_[i].url);
            }
            info->setAcceptDatetime(httpDateOf(wanted));
            clsUrlInformation* queued = nullptr;
            if (engine_.requestItem(clsRequestMode::headOnly, archiveLinkKind, address, queued) &&
                queued != nullptr) {
                queued->releaseQueueRef();
            }
        }
        lookups.emplace_back(i, info);
    }
    auto ended = [](const clsUrlInformation* info) {
        clsRequestStatus status = info->getStatus();
        return status == clsRequestStatus::headRead || status == clsRequestStatus::failed ||
               status == clsRequestStatus::complete;
    };
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(giveUpMs);
    for (;;) {
        bool all = true;
        for (const auto& lookup : lookups) {
            all = all && ended(lookup.second);
        }
        if (all || std::chrono::steady_clock::now() >= giveUp) {
            break;
        }
        window_.pump(50);
    }
    for (auto& [index, info] : lookups) {
        std::string date;
        // The TimeGate's redirect leads to the copy; an answer without one (404: no copy) is none.
        if (ended(info) && info->getStatus() != clsRequestStatus::failed &&
            std::atoi(info->getStatusCode().c_str()) == 200 && !info->getRedirects().empty()) {
            info->getHeader("Memento-Datetime:", date);
            tviCheckResult& r = results_[index];
            r.archived = info->getAddress();
            r.archivedDate = secondsOfHttpDate(date);
            resultItems_[index]->setArchived(r.archived, r.archivedDate);
        }
        info->releaseQueueRef();
    }
    return true;
}

size_t tviCabinetCheck::archivedCount() const
{
    size_t n = 0;
    for (const tviCheckResult& r : results_) {
        n += r.archived.empty() ? 0 : 1;
    }
    return n;
}

bool tviCabinetCheck::saveFound(bool withStatuses)
{
    if (cabinet_ == nullptr) {
        return false;
    }
    std::vector<std::pair<tviCabinetItem*, clsRequestStatus>> found;
    if (!withStatuses) {
        for (auto& [item, status] : statusBefore_) {
            found.emplace_back(item, item->getStatus());
            item->tviURLItem::setStatus(status);
        }
    }
    bool saved = cabinet_->save();
    for (auto& [item, status] : found) {
        item->tviURLItem::setStatus(status);
    }
    return saved;
}

bool tviCabinetCheck::updateArchived(std::vector<std::pair<std::string, std::string>>& changes,
                                     bool withStatuses)
{
    changes.clear();
    std::vector<std::pair<tviCabinetItem*, std::string>> oldUrls;
    for (size_t i = 0; i < results_.size(); ++i) {
        if (results_[i].archived.empty()) {
            continue;
        }
        changes.emplace_back(results_[i].url, results_[i].archived);
        oldUrls.emplace_back(resultItems_[i], resultItems_[i]->getUrl());
        resultItems_[i]->setUrl(results_[i].archived);
    }
    if (changes.empty()) {
        return true;
    }
    if (saveFound(withStatuses)) {
        return true;
    }
    // What is not in the file is not in the tree either.
    for (auto& [item, url] : oldUrls) {
        item->setUrl(url);
    }
    changes.clear();
    return false;
}
