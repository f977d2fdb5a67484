#include "Engine/Snapshot/clsQuillaraSnapshot.h"

#include "Common/utlIniInfo.h"
#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Engine/Http/clsCommunicationHttp.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Snapshot/clsSnapshotFetch.h"
#include "Engine/Snapshot/clsSnapshotRewriter.h"
#include "Engine/Http/clsUrlCache.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Text/utlKanjiConverter.h"
#include "Engine/Url/utlUrlParts.h"
#include "Platform/AtomicFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The link kind of the records a snapshot fetches with: that of a snapshot item.
constexpr int snapshotLinkKind = 11;
// Longest local file name; the extension is kept.
constexpr std::size_t nameLimit = 64;

const char* const msgEntryLimit = utlTexts::sjis(utlText::snapshotListFull);
const char* const msgFetchFailed = utlTexts::sjis(utlText::fetchFailed);
const char* const msgSaveFailed = utlTexts::sjis(utlText::saveFailed);
const char* const msgException = utlTexts::sjis(utlText::exceptionRaised);

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string text)
{
    for (char& c : text)
        c = lower(c);
    return text;
}

bool startsWithNoCase(const std::string& text, const char* prefix)
{
    std::size_t i = 0;
    for (; prefix[i] != 0; ++i)
        if (i >= text.size() || lower(text[i]) != prefix[i])
            return false;
    return true;
}

bool endsWithNoCase(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() &&
           lowered(text.substr(text.size() - suffix.size())) == suffix;
}

// A local page: an absolute path or a file: address (the program runs on Linux, so drive
// letters and UNC names are not local paths here).
bool isLocalAddress(const std::string& address)
{
    return address.starts_with("/") || startsWithNoCase(address, "file:");
}

std::string localPathOf(const std::string& address)
{
    if (!startsWithNoCase(address, "file:"))
        return address.substr(0, address.find('#'));
    std::string rest = address.substr(5);
    if (rest.starts_with("//")) {
        std::size_t slash = rest.find('/', 2);
        rest = slash == std::string::npos ? std::string() : rest.substr(slash);
    }
    rest = rest.substr(0, rest.find_first_of("?#"));
    return percentDecode(rest);
}

std::string statusText(int code)
{
    return "HTTP " + std::to_string(code);
}

bool isUnreserved(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lower(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// %7E becomes ~, %2f becomes %2F: one spelling for each byte.
std::string normalisedEscapes(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            auto byte =
                static_cast<unsigned char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            if (isUnreserved(byte)) {
                out += static_cast<char>(byte);
            } else {
                static const char* const digits = "0123456789ABCDEF";
                out += '%';
                out += digits[byte >> 4];
                out += digits[byte & 15];
            }
            i += 2;
            continue;
        }
        out += text[i];
    }
    return out;
}

// Writes the blocks of one transfer to a file instead of keeping them, up to a limit: a block
// that would pass it ends the transfer.
class FileSink : public clsQuillaraItem {
public:
    // Each block is also counted in used, the bytes of the whole snapshot, against total.
    FileSink(const std::string& path, std::int64_t limit, std::atomic<std::int64_t>& used,
             std::int64_t total)
        : file(std::fopen(path.c_str(), "wb")), limit(limit), used(used), total(total)
    {
    }
    ~FileSink() override { close(); }

    bool isOpen() const { return file != nullptr; }
    bool isOverLimit() const { return overLimit; }
    bool isOverTotal() const { return overTotal; }
    bool appendBlock(std::unique_ptr<char[]> data, std::size_t length) override
    {
        auto size = static_cast<std::int64_t>(length);
        if (written + size > limit) {
            overLimit = true;
            return false;
        }
        if (total > 0 && used.fetch_add(size) + size > total) {
            used.fetch_sub(size);
            overTotal = true;
            return false;
        }
        if (file == nullptr || std::fwrite(data.get(), 1, length, file) != length)
            return false;
        written += static_cast<std::int64_t>(length);
        return true;
    }
    bool close()
    {
        if (file == nullptr)
            return true;
        bool ok = std::fclose(file) == 0;
        file = nullptr;
        return ok;
    }
    std::int64_t size() const { return written; }

private:
    std::FILE* file;
    std::int64_t limit;
    std::atomic<std::int64_t>& used;
    std::int64_t total;
    std::int64_t written = 0;
    bool overLimit = false;
    bool overTotal = false;
};

// The record a transfer runs on: counted like any other, and gone (with any registry entry
// a redirect gave it) when released.
struct RecordHold {
    clsUrlInformation* info;
    explicit RecordHold(clsUrlInformation* made) : info(made) { info->addQueueRef(); }
    ~RecordHold() { info->releaseQueueRef(); }
    RecordHold(const RecordHold&) = delete;
    RecordHold& operator=(const RecordHold&) = delete;
};

std::string charsetOfContentType(const std::string& contentType)
{
    std::string text = lowered(contentType);
    std::size_t at = text.find("charset=");
    if (at == std::string::npos)
        return {};
    std::string value = text.substr(at + 8);
    std::size_t stop = value.find_first_of("; \t\"'");
    value = value.substr(0, stop);
    return value;
}

} // namespace

clsQuillaraSnapshot::clsQuillaraSnapshot(clsQuillaraEngine* engine) : engine(engine)
{
    countCreated("clsQuillaraSnapshot");
}

clsQuillaraSnapshot::~clsQuillaraSnapshot()
{
    countDestroyed("clsQuillaraSnapshot");
}

bool clsQuillaraSnapshot::setup(int newMode, const std::string& newUrl,
                                const std::string& newFolder, int& id)
{
    clear();
    mode = newMode;
    url = newUrl;
    folder = newFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    allowLocal = isLocalAddress(url);
    const utlIniInfo* settings = FindUtlIniInfo();
    scripts = settings != nullptr && settings->getInt(IniKey::SnapshotScripts) != 0
                  ? clsSnapshotRewriter::scriptsKept
                  : clsSnapshotRewriter::scriptsRemoved;
    setStep(Step::queued);
    if (engine == nullptr)
        return false;
    return engine->queueSnapshot(this, id);
}

void clsQuillaraSnapshot::cancel()
{
    cancelRequested = true;
}

void clsQuillaraSnapshot::stop()
{
    stopRequested = true;
}

bool clsQuillaraSnapshot::isComplete() const
{
    return step == Step::complete;
}

const char* clsQuillaraSnapshot::nameOf(Step step)
{
    switch (step) {
    case Step::cleared: return "cleared";
    case Step::queued: return "queued";
    case Step::fetching: return "fetching";
    case Step::complete: return "complete";
    }
    return "?";
}

void clsQuillaraSnapshot::setStep(Step next)
{
    Step before = step.exchange(next);
    if (before != next)
        logStateChange("clsQuillaraSnapshot " + std::to_string(queueId), nameOf(before),
                       nameOf(next));
}

void clsQuillaraSnapshot::clear()
{
    std::lock_guard<std::mutex> guard(lock);
    pageQueue.clear();
    resourceQueue.clear();
    setStep(Step::cleared);
}

std::string clsQuillaraSnapshot::newTempPath()
{
    // A leading dot: no local name ever begins with one.
    return folder + ".part" + std::to_string(queueId) + "-" + std::to_string(++tempCounter);
}

bool clsQuillaraSnapshot::shouldEnd(const clsCommunicationHttp* transport,
                                    const std::atomic<bool>& stopping) const
{
    return cancelRequested || stopRequested || stopping ||
           (transport != nullptr && transport->isCancelled());
}

// Names the top page and hands it to the workers; from then on every file is a job of its
// own (clsSnapshotFetch), and the last one to finish ends the snapshot.
bool clsQuillaraSnapshot::run(clsCommunicationHttp* transport, const std::atomic<bool>& stopping)
{
    if (engine != nullptr) {
        fileLimit = engine->getOptions().snapshotFileLimitBytes;
        totalLimit = engine->getOptions().snapshotLimitBytes;
    }
    std::unique_lock<std::mutex> guard(lock);
    if (step != Step::cleared && !dropped && !shouldEnd(transport, stopping)) {
        std::error_code error;
        fs::create_directories(folder, error);
        std::string name = nameFor(url, clsSnapshotRewriter::refPage);
        if (name.empty()) {
            done.push_back(clsSnapshotEntry{url,
                                            {},
                                            clsSnapshotRewriter::refPage,
                                            false,
                                            0,
                                            resultTransportError,
                                            "not an address that can be saved"});
            pageQueue.clear();
        }
        topName = name;
        dispatch();
    }
    bool last = outstanding == 0;
    guard.unlock();
    if (last)
        complete();
    return true;
}

// Pages (the top page, then frames, level by level) before resources, as before; within each,
// every file at once, so that the workers fetch from several hosts side by side. The lock is
// held.
void clsQuillaraSnapshot::dispatch()
{
    if (interrupted || cancelRequested || stopRequested)
        return;
    setStep(Step::fetching);
    auto post = [this](std::deque<Entry>& queue) {
        while (!queue.empty()) {
            Entry entry = std::move(queue.front());
            queue.pop_front();
            auto* fetch = new clsSnapshotFetch(this, entry.url, entry.name, entry.kind);
            if (engine == nullptr || !engine->postSnapshotFetch(fetch)) {
                delete fetch;
                done.push_back(clsSnapshotEntry{entry.url, entry.name, entry.kind, false, 0,
                                                resultCancelled,
                                                "not fetched (the engine stopped)"});
                interrupted = true;
                continue;
            }
            ++outstanding;
            pagesOutstanding += entry.kind == clsSnapshotRewriter::refPage ? 1 : 0;
        }
    };
    post(pageQueue);
    if (pagesOutstanding == 0)
        post(resourceQueue);
}

// Worker thread: fetches one file (without the lock, so that files download side by side),
// then saves it under the lock, since a page's rewriting names new files.
void clsQuillaraSnapshot::runFetch(const clsSnapshotFetch& fetch, clsCommunicationHttp* transport,
                                   const std::atomic<bool>& stopping)
{
    Entry entry{fetch.getUrl(), fetch.getName(), fetch.getKind()};
    clsSnapshotEntry result{entry.url, entry.name, entry.kind, false, 0, 0, {}};
    Fetched fetched;
    bool ok = false;
    try {
        if (shouldEnd(transport, stopping)) {
            result.result = resultCancelled;
            result.error = "not fetched (stopped)";
        } else {
            ok = download(entry, fetched, result, transport, stopping);
        }
        std::lock_guard<std::mutex> guard(lock);
        if (ok)
            ok = entry.kind == clsSnapshotRewriter::refPage ? savePage(entry, fetched, result)
                                                            : saveResource(entry, fetched, result);
        finishEntry(result, fetched);
        // The top entry is known by its name: its address has lost the page's fragment.
        if (ok && entry.name == topName && topFile.empty())
            topFile = folder + entry.name;
        if (ok)
            engine->postSnapshotSaved(this);
    } catch (const std::exception& e) {
        recordFailure(result, fetched, std::string(msgException) + " " + e.what());
    } catch (...) {
        recordFailure(result, fetched, msgException);
    }
    endFetch(entry.kind, stopping.load() || (transport != nullptr && transport->isCancelled()));
}

// An exception (memory running out on a huge page) fails the entry, never the program.
void clsQuillaraSnapshot::recordFailure(clsSnapshotEntry& result, Fetched& fetched,
                                        const std::string& why)
{
    try {
        std::lock_guard<std::mutex> guard(lock);
        result.saved = false;
        result.error = why;
        finishEntry(result, fetched);
    } catch (...) {
        logError(msgException);
    }
}

void clsQuillaraSnapshot::fetchDropped(const clsSnapshotFetch& fetch)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        done.push_back(clsSnapshotEntry{fetch.getUrl(), fetch.getName(), fetch.getKind(), false, 0,
                                        resultCancelled, "not fetched (the engine stopped)"});
    }
    endFetch(fetch.getKind(), true);
}

// One fetch less; the last one ends the snapshot. Nothing touches the object after that.
void clsQuillaraSnapshot::endFetch(int kind, bool workerStopped)
{
    std::unique_lock<std::mutex> guard(lock);
    interrupted = interrupted || workerStopped;
    --outstanding;
    pagesOutstanding -= kind == clsSnapshotRewriter::refPage ? 1 : 0;
    try {
        dispatch();
    } catch (...) {
        interrupted = true;
        logError(msgException);
    }
    bool last = outstanding == 0;
    guard.unlock();
    if (last)
        complete();
}

void clsQuillaraSnapshot::complete()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        bool whole = !interrupted && !cancelRequested && !stopRequested && !dropped &&
                     pageQueue.empty() && resourceQueue.empty() && step != Step::cleared;
        if (whole)
            setStep(Step::complete);
    }
    endRun();
    // The last touch of this object: the engine hands it to the user-interface thread.
    clsQuillaraEngine* owner = engine;
    if (owner != nullptr)
        owner->finishSnapshot(this);
}

// Cancel and stop alike leave no saved page pointing at a local name that was never saved.
void clsQuillaraSnapshot::endRun()
{
    try {
        repairDocuments();
    } catch (const std::exception& e) {
        logError(std::string(msgException) + " " + e.what());
    } catch (...) {
        logError(msgException);
    }
    dropDocuments();
    if (cancelRequested) {
        cancelled = true;
        clear();
        return;
    }
    stopped = step != Step::complete;
}

void clsQuillaraSnapshot::finishEntry(clsSnapshotEntry& result, Fetched& fetched)
{
    std::error_code error;
    if (fetched.isTemp && !fetched.path.empty())
        fs::remove(fetched.path, error);
    fetched.path.clear();
    // Bytes of a file that was not saved no longer count against the snapshot's limit.
    if (!result.saved)
        usedBytes -= fetched.reserved;
    fetched.reserved = 0;
    if (result.saved)
        savedKeys.insert(addressKey(result.url));
    if (!result.saved && result.result == 0)
        result.result = resultTransportError;
    if (!result.saved)
        logError(std::string(result.kind == clsSnapshotRewriter::refPage ? msgFetchFailed
                                                                         : msgFetchFailed) +
                 " " + result.url + " " + result.error);
    done.push_back(result);
}

bool clsQuillaraSnapshot::isFetchable(const std::string& absolute) const
{
    if (isLocalAddress(absolute))
        return allowLocal;
    return startsWithNoCase(absolute, "http://") || startsWithNoCase(absolute, "https://");
}

std::string clsQuillaraSnapshot::addressKey(const std::string& address)
{
    std::string withoutFragment = address.substr(0, address.find('#'));
    utlUrlParts parts;
    if (!crackUrl(withoutFragment, parts) || !parts.hasAuthority)
        return withoutFragment;
    std::string key = parts.scheme + "://";
    if (!parts.userName.empty() || !parts.password.empty())
        key += parts.userName + ":" + parts.password + "@";
    // One file however its host is written (Shift_JIS, escaped, IDNA, any case).
    key += hostKey(parts.host);
    if (parts.port != 0 && parts.port != defaultPortOf(parts.scheme))
        key += ":" + std::to_string(parts.port);
    key += normalisedEscapes(parts.urlPath.empty() ? std::string("/") : parts.urlPath);
    key += normalisedEscapes(parts.extraInfo.substr(0, parts.extraInfo.find('#')));
    return key;
}

std::string clsQuillaraSnapshot::localNameOf(const std::string& address, int kind)
{
    std::string path;
    utlUrlParts parts;
    if (!isLocalAddress(address) && crackUrl(address, parts))
        path = parts.urlPath;
    else
        path = localPathOf(address);
    std::string last = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    last = percentDecode(last);
    std::string name;
    for (char c : last) {
        auto byte = static_cast<unsigned char>(c);
        bool keep = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                    (byte >= '0' && byte <= '9') || byte == '.' || byte == '-' || byte == '_';
        name += keep ? c : '_';
    }
    while (!name.empty() && name.front() == '.')
        name.erase(0, 1);
    std::size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    if (extension.size() > 16)
        extension.clear();
    std::string stem = dot == std::string::npos || extension.empty() ? name : name.substr(0, dot);
    if (stem.size() + extension.size() > nameLimit)
        stem.resize(nameLimit - extension.size());
    name = stem + extension;
    if (kind == clsSnapshotRewriter::refPage) {
        if (name.empty())
            return "index.html";
        if (!startsWithNoCase(extension, ".htm"))
            name += ".html";
    } else if (kind == clsSnapshotRewriter::refStyleSheet) {
        if (name.empty())
            name = "style";
        if (!endsWithNoCase(name, ".css"))
            name += ".css";
    } else if (name.empty() || name == extension) {
        name = "file" + extension;
    }
    return name;
}

// One local name per address for the whole snapshot: a page that frames itself or two that
// frame each other are saved once, and every later reference finds the same name.
std::string clsQuillaraSnapshot::nameFor(const std::string& absolute, int kind)
{
    std::string key = addressKey(absolute);
    if (currentDocument != nullptr)
        currentDocument->references.insert(key);
    if (finalNaming)
        return savedKeys.count(key) != 0 ? names[key] : std::string();
    auto found = names.find(key);
    if (found != names.end())
        return found->second;
    if (!isFetchable(absolute))
        return {};
    if (names.size() >= entryLimit) {
        if (!limitReached)
            logError(std::string(msgEntryLimit) + " " + url);
        limitReached = true;
        return {};
    }
    std::string name = uniqueName(localNameOf(absolute, kind));
    names.emplace(key, name);
    Entry entry{absolute.substr(0, absolute.find('#')), name, kind};
    if (kind == clsSnapshotRewriter::refPage)
        pageQueue.push_back(entry);
    else
        resourceQueue.push_back(entry);
    return name;
}

// The snapshot's own record files are never overwritten by a page's file.
std::string clsQuillaraSnapshot::uniqueName(const std::string& wanted)
{
    auto taken = [this](const std::string& name) {
        std::string key = lowered(name);
        return key == "snapshot" || key == "list" || usedNames.count(key) != 0;
    };
    std::string name = wanted;
    std::size_t dot = wanted.rfind('.');
    std::string stem = dot == std::string::npos || dot == 0 ? wanted : wanted.substr(0, dot);
    std::string extension =
        dot == std::string::npos || dot == 0 ? std::string() : wanted.substr(dot);
    for (int n = 1; taken(name); ++n)
        name = stem + "-" + std::to_string(n) + extension;
    usedNames.insert(lowered(name));
    return name;
}

bool clsQuillaraSnapshot::download(const Entry& entry, Fetched& fetched, clsSnapshotEntry& result,
                                   clsCommunicationHttp* transport,
                                   const std::atomic<bool>& stopping)
{
    fetched.finalUrl = entry.url;
    if (isLocalAddress(entry.url)) {
        std::string path = localPathOf(entry.url);
        std::error_code error;
        if (!allowLocal || !fs::is_regular_file(path, error)) {
            result.error = "no such file";
            return false;
        }
        if (!reserve(static_cast<std::int64_t>(fs::file_size(path, error)), fetched, result))
            return false;
        fetched.path = path;
        return true;
    }
    if (mode != modeNetworkOnly) {
        std::string body;
        clsUrlCache* cache = FindUrlCache();
        if (cache != nullptr && cache->lookup(entry.url, body)) {
            std::error_code error;
            if (!reserve(static_cast<std::int64_t>(fs::file_size(body, error)), fetched, result))
                return false;
            fetched.path = body;
            return true;
        }
        if (mode == modeCacheOnly) {
            result.error = "not in the cache";
            return false;
        }
    }
    return fetchHttp(entry, fetched, result, transport, stopping);
}

// A response of 400 and above, a transfer cut short or cancelled, or a file that cannot be
// written fails the entry and removes its temporary file.
bool clsQuillaraSnapshot::fetchHttp(const Entry& entry, Fetched& fetched, clsSnapshotEntry& result,
                                    clsCommunicationHttp* transport,
                                    const std::atomic<bool>& stopping)
{
    if (transport == nullptr) {
        result.error = "no transport";
        return false;
    }
    if (totalLimit > 0 && usedBytes >= totalLimit) {
        result.error = totalLimitText();
        return false;
    }
    std::int64_t room = fileLimit > 0 ? fileLimit : std::numeric_limits<std::int64_t>::max();
    RecordHold hold(new clsUrlInformation(engine));
    clsUrlInformation* info = hold.info;
    info->set(queueId, snapshotLinkKind, entry.url);
    if (!transport->readStart(info)) {
        result.result = transport->getFailureCode();
        result.error = result.result >= 300
                           ? "redirect not followed (" + statusText(result.result) + ")"
                           : "transfer failed";
        return false;
    }
    int code = std::atoi(info->getStatusCode().c_str());
    if (code >= 400 || code < 200) {
        transport->closeRequest();
        result.result = code >= 400 ? code : resultTransportError;
        result.error = statusText(code);
        return false;
    }
    if (info->getContentLength() > room) {
        transport->closeRequest();
        result.error = fileLimitText();
        return false;
    }
    std::string path = newTempPath();
    FileSink sink(path, room, usedBytes, totalLimit);
    if (!sink.isOpen()) {
        transport->closeRequest();
        result.error = "cannot write " + path;
        return false;
    }
    fetched.path = path;
    fetched.isTemp = true;
    for (bool more = true; more;) {
        fetched.reserved = sink.size();
        if (shouldEnd(transport, stopping)) {
            transport->closeRequest();
            result.result = resultCancelled;
            result.error = "cancelled";
            return false;
        }
        if (!transport->readNext(info, &sink, more)) {
            bool over = sink.isOverLimit() || sink.isOverTotal();
            fetched.reserved = sink.size();
            result.result = over ? resultTransportError : transport->getFailureCode();
            result.error =
                sink.isOverLimit()
                    ? fileLimitText()
                    : (sink.isOverTotal() ? totalLimitText() : std::string("transfer cut short"));
            if (over)
                transport->closeRequest();
            return false;
        }
    }
    fetched.reserved = sink.size();
    if (!sink.close()) {
        result.error = "cannot write " + path;
        return false;
    }
    result.size = sink.size();
    fetched.finalUrl = info->getAddress();
    fetched.contentType = info->getContentType();
    return true;
}

// At most a few copies of one page are held at a time: the fetched bytes go before the
// converted text is joined, and the text is kept on disk, not in memory, until the end.
bool clsQuillaraSnapshot::savePage(const Entry& entry, const Fetched& fetched,
                                   clsSnapshotEntry& result)
{
    std::string text;
    std::string charset = "shift_jis";
    {
        std::string bytes;
        if (!platform::readWholeFile(fetched.path, bytes)) {
            result.error = "cannot read the fetched page";
            return false;
        }
        // A UTF-8 page stays UTF-8, so that no character is lost; the Japanese codes become
        // Shift_JIS. Either way the page then says what it is.
        utlKanjiConverter converter;
        converter.setDeclaredCode(
            utlKanjiConverter::codeOfCharset(charsetOfContentType(fetched.contentType)));
        converter.convertCode(bytes.data(), bytes.size());
        converter.finishCode();
        if (converter.getConverterCode() == utlKanjiConverter::codeUtf8) {
            text = std::move(bytes);
            charset = "utf-8";
        } else {
            bytes = std::string();
            std::size_t size = 0;
            for (const std::string& block : converter.getOutput())
                size += block.size();
            text.reserve(size);
            for (const std::string& block : converter.getOutput())
                text += block;
        }
    }
    Document document{entry.name, {}, {}, fetched.finalUrl, charset, clsSnapshotRewriter::refPage,
                      {}};
    std::string page = rewrite(document, text);
    std::string error;
    if (!platform::atomicWriteFile(folder + entry.name, page, &error,
                                   platform::Durability::Unsynced)) {
        result.error = std::string(msgSaveFailed) + " " + error;
        return false;
    }
    keepDocument(std::move(document), text);
    result.saved = true;
    result.size = static_cast<std::int64_t>(page.size());
    return true;
}

bool clsQuillaraSnapshot::saveResource(const Entry& entry, const Fetched& fetched,
                                       clsSnapshotEntry& result)
{
    std::string target = folder + entry.name;
    std::error_code error;
    if (entry.kind == clsSnapshotRewriter::refStyleSheet) {
        std::string bytes;
        if (!platform::readWholeFile(fetched.path, bytes)) {
            result.error = "cannot read the fetched style sheet";
            return false;
        }
        Document document{
            entry.name, {}, {}, fetched.finalUrl, {}, clsSnapshotRewriter::refStyleSheet, {}};
        std::string sheet = rewrite(document, bytes);
        std::string message;
        if (!platform::atomicWriteFile(target, sheet, &message, platform::Durability::Unsynced)) {
            result.error = std::string(msgSaveFailed) + " " + message;
            return false;
        }
        keepDocument(std::move(document), bytes);
        result.saved = true;
        result.size = static_cast<std::int64_t>(sheet.size());
        return true;
    }
    // A copy from the cache or a local file goes through a temporary name too, so that no
    // half-copied file ever has the entry's name.
    std::string temp = fetched.path;
    if (!fetched.isTemp) {
        temp = newTempPath();
        if (!fs::copy_file(fetched.path, temp, fs::copy_options::overwrite_existing, error)) {
            result.error = std::string(msgSaveFailed) + " " + error.message();
            fs::remove(temp, error);
            return false;
        }
    }
    fs::rename(temp, target, error);
    if (error) {
        result.error = std::string(msgSaveFailed) + " " + error.message();
        if (!fetched.isTemp)
            fs::remove(temp, error);
        return false;
    }
    result.saved = true;
    result.size = static_cast<std::int64_t>(fs::file_size(target, error));
    return true;
}

std::string clsQuillaraSnapshot::fileLimitText() const
{
    return "larger than the file limit of " + std::to_string(fileLimit >> 20) +
           " MB (PrefFile/SnapshotFileLimitMB)";
}

std::string clsQuillaraSnapshot::totalLimitText() const
{
    return "the snapshot would pass its limit of " + std::to_string(totalLimit >> 20) +
           " MB (PrefFile/SnapshotLimitMB)";
}

// Counts a file of known size against both limits before it is copied.
bool clsQuillaraSnapshot::reserve(std::int64_t size, Fetched& fetched, clsSnapshotEntry& result)
{
    if (fileLimit > 0 && size > fileLimit) {
        result.error = fileLimitText();
        return false;
    }
    if (totalLimit > 0 && usedBytes.fetch_add(size) + size > totalLimit) {
        usedBytes -= size;
        result.error = totalLimitText();
        return false;
    }
    fetched.reserved = size;
    return true;
}

std::string clsQuillaraSnapshot::rewrite(Document& document, const std::string& text)
{
    currentDocument = &document;
    auto names = [this](const std::string& absolute, clsSnapshotRewriter::RefKind kind) {
        return nameFor(absolute, kind);
    };
    std::string out = document.kind == clsSnapshotRewriter::refPage
                          ? clsSnapshotRewriter::rewritePage(text, document.base, document.charset,
                                                             names, scripts)
                          : clsSnapshotRewriter::rewriteStyleSheet(text, document.base, names);
    currentDocument = nullptr;
    return out;
}

void clsQuillaraSnapshot::keepDocument(Document document, const std::string& text)
{
    // A leading dot: no local name ever begins with one.
    document.source =
        folder + ".src" + std::to_string(queueId) + "-" + std::to_string(++tempCounter);
    if (!platform::atomicWriteFile(document.source, text, nullptr,
                                   platform::Durability::Unsynced)) {
        document.source.clear();
        document.text = text;
    }
    documents.push_back(std::move(document));
}

void clsQuillaraSnapshot::dropDocuments()
{
    for (const Document& document : documents) {
        std::error_code error;
        if (!document.source.empty())
            fs::remove(document.source, error);
    }
    documents.clear();
}

// A page must not point at a local file that is not there: references to entries that failed
// or never ran (a stop) are removed, their addresses kept for the reader.
void clsQuillaraSnapshot::repairDocuments()
{
    finalNaming = true;
    for (Document& document : documents) {
        bool complete = true;
        for (const std::string& key : document.references)
            complete = complete && (savedKeys.count(key) != 0 || names.count(key) == 0);
        if (complete)
            continue;
        std::string text = document.text;
        std::string error;
        if (!document.source.empty() && !platform::readWholeFile(document.source, text, &error)) {
            logError(std::string(msgSaveFailed) + " " + error);
            continue;
        }
        if (!platform::atomicWriteFile(folder + document.name, rewrite(document, text), &error,
                                       platform::Durability::Unsynced))
            logError(std::string(msgSaveFailed) + " " + error);
    }
    finalNaming = false;
}

clsSnapshotReport clsQuillaraSnapshot::makeReport(bool withEntries) const
{
    clsSnapshotReport report;
    report.id = queueId;
    report.url = url;
    report.folder = folder;
    report.topFile = topFile;
    report.topSaved = !topFile.empty();
    report.topName = report.topSaved ? topName : std::string();
    report.finished = false;
    report.cancelled = cancelled;
    report.stopped = stopped || dropped;
    report.limitReached = limitReached;
    for (const clsSnapshotEntry& entry : done)
        (entry.saved ? report.savedCount : report.failedCount) += 1;
    report.waitingCount = static_cast<int>(pageQueue.size() + resourceQueue.size()) + outstanding;
    if (withEntries)
        report.entries = done;
    return report;
}
