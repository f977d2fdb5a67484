// Archived copies of dead links: a loopback Memento TimeGate (RFC 7089) answers the check with
// the copy closest to Accept-Datetime, has none for some addresses, is slow, and answers 429
// with Retry-After once; the copies found go into the cabinet and the reports.
#include "TreeViewItem/Cabinet/tviCabinetCheck.h"

#include "Common/kivaTime.h"
#include "Engine/Http/clsUrlCache.h"
#include "TestHttpServer.h"
#include "TestSupport.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <sys/time.h>
#include <thread>
#include <vector>

namespace {

std::string httpDate(std::int64_t seconds)
{
    kivaTime time;
    std::string text;
    time.fromCalendarSeconds(static_cast<std::time_t>(seconds));
    time.toHttpDate(text);
    return text;
}

std::int64_t secondsOf(const std::string& httpDateText)
{
    kivaTime time;
    std::time_t seconds = 0;
    if (!time.fromHttpDate(httpDateText) || !time.toCalendarSeconds(seconds))
        return 0;
    return seconds;
}

// A TimeGate at /tg/ADDRESS: 302 to /memento/SECONDS/ADDRESS, the copy closest to the request's
// Accept-Datetime (the latest without one), 404 for an address without copies. "slow" in an
// address delays the answer; "busy" gets 429 with Retry-After: 1 the first time.
class LoopbackTimeGate {
public:
    explicit LoopbackTimeGate(std::map<std::string, std::vector<std::int64_t>> copies)
        : copies_(std::move(copies))
    {
        server_.Get(R"(/tg/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
            timeGate(req, res);
        });
        server_.Get(R"(/memento/(\d+)/(.*))", [](const httplib::Request& req,
                                                 httplib::Response& res) {
            res.set_header("Memento-Datetime", httpDate(std::stoll(req.matches[1])));
            res.set_content("<html><head><title>archived</title></head><body>copy</body></html>",
                            "text/html");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // The server stops by itself after two minutes, whatever becomes of the test.
        watchdog_ = std::thread([this] {
            std::unique_lock<std::mutex> lock(stopLock_);
            stopWanted_.wait_for(lock, std::chrono::seconds(120), [this] { return stopping_; });
            server_.stop();
        });
        while (!server_.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~LoopbackTimeGate()
    {
        {
            std::lock_guard<std::mutex> lock(stopLock_);
            stopping_ = true;
        }
        stopWanted_.notify_all();
        watchdog_.join();
        thread_.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/tg/"; }
    std::string memento(std::int64_t seconds, const std::string& address) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + "/memento/" + std::to_string(seconds) +
               "/" + address;
    }
    // Accept-Datetime of every request, by the address asked for.
    std::multimap<std::string, std::string> asked() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return asked_;
    }

private:
    void timeGate(const httplib::Request& req, httplib::Response& res)
    {
        std::string address = req.matches[1];
        std::string wanted = req.get_header_value("Accept-Datetime");
        bool first = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            first = asked_.count(address) == 0;
            asked_.emplace(address, wanted);
        }
        if (address.find("slow") != std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (address.find("busy") != std::string::npos && first) {
            res.status = 429;
            res.set_header("Retry-After", "1");
            return;
        }
        auto found = copies_.find(address);
        if (found == copies_.end() || found->second.empty()) {
            res.status = 404;
            return;
        }
        std::int64_t target = wanted.empty() ? INT64_MAX : secondsOf(wanted);
        std::int64_t best = found->second.front();
        for (std::int64_t copy : found->second) {
            if (std::llabs(copy - target) < std::llabs(best - target))
                best = copy;
        }
        res.status = 302;
        res.set_header("Location", memento(best, address));
        res.set_header("Vary", "accept-datetime");
    }

    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::thread watchdog_;
    std::mutex stopLock_;
    std::condition_variable stopWanted_;
    bool stopping_ = false;
    std::map<std::string, std::vector<std::int64_t>> copies_;
    mutable std::mutex mutex_;
    std::multimap<std::string, std::string> asked_;
};

// Waits before retries, by address, as the engine asked for them (before scaling).
struct RetryLog {
    std::mutex lock;
    std::multimap<std::string, int> waits;
};

clsEngineOptions quickOptions(RetryLog* log = nullptr)
{
    clsEngineOptions options;
    options.connectTimeoutMs = 5000;
    options.receiveTimeoutMs = 10000;
    options.paceIntervalMs = 0;
    options.retryUnitMs = 5;
    if (log != nullptr) {
        options.onRetryWait = [log](const std::string& address, int waitMs) {
            std::lock_guard<std::mutex> guard(log->lock);
            log->waits.emplace(address, waitMs);
        };
    }
    return options;
}

struct Item {
    std::string name;
    std::string url;
    std::int64_t added;
};

std::string writeCabinet(const std::string& path, const std::vector<Item>& items)
{
    tviCabinetDocument doc;
    doc.name = "archive";
    doc.productMark = true;
    for (const Item& item : items) {
        tviCabinetEntry e;
        e.name = item.name;
        e.url = item.url;
        e.addDate = item.added;
        doc.entries.push_back(e);
    }
    testsupport::writeFile(path, tviCabinetFile::write(doc));
    return path;
}

using testsupport::runCli;

constexpr std::int64_t day = 86400;
constexpr std::int64_t added = 1500000000;

} // namespace

// Each dead item (404, 410, no server) gets the copy closest to the day it was added, or the
// latest when that day is unknown; an address without copies gets none, a slow TimeGate and a
// 429 with Retry-After are waited for; a live item is not asked about. The cabinet keeps the
// copies with the statuses it had.
TEST(tviCabinetArchive, FindsTheClosestCopyOfEveryDeadItemAndKeepsIt)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer site(120);
    site.setFile("gone.html", "text/html", "gone", 404);
    site.setFile("removed.html", "text/html", "gone", 410);
    site.setFile("nocopy.html", "text/html", "gone", 404);
    site.setFile("slow.html", "text/html", "gone", 404);
    site.setFile("busy.html", "text/html", "gone", 404);
    site.setFile("cached.html", "text/html", "gone", 404);
    std::string refused = "http://127.0.0.1:1/refused.html";
    // A page loaded once, 30 days after `added`, and gone since: kept in the page cache.
    constexpr std::int64_t loadedAt = added + 30 * day;
    ASSERT_TRUE(InitUrlCache(home.dir() + "Cache/", 1 << 20));
    struct CacheClosed {
        ~CacheClosed() { TermUrlCache(); }
    } closeCacheLast; // after the check's engine has stopped
    std::string cached = site.url("/site/cached.html");
    ASSERT_TRUE(
        GetUrlCache()->store(cached, "<html>page</html>", "HTTP/1.1 200 OK\r\n\r\n", "", ""));
    std::string body;
    ASSERT_TRUE(GetUrlCache()->lookup(cached, body));
    struct timeval times[2] = {{static_cast<time_t>(loadedAt), 0},
                               {static_cast<time_t>(loadedAt), 0}};
    ASSERT_EQ(0, utimes(body.c_str(), times));
    struct Case {
        Item item;
        std::vector<std::int64_t> copies;
        std::int64_t expected; // 0: no copy
    } cases[] = {
        {{"gone", site.url("/site/gone.html"), added},
         {added - 300 * day, added + 2 * day, added + 90 * day},
         added + 2 * day},
        {{"removed", site.url("/site/removed.html"), 0}, {added - day, added + day}, added + day},
        {{"nocopy", site.url("/site/nocopy.html"), added}, {}, 0},
        {{"slow", site.url("/site/slow.html"), added},
         {added - 3 * day, added + 5 * day},
         added - 3 * day},
        {{"busy", site.url("/site/busy.html"), added}, {added}, added},
        {{"refused", refused, added}, {added + 7 * day}, added + 7 * day},
        {{"cached", cached, 0}, {added, loadedAt - day, added + 300 * day}, loadedAt - day},
        {{"live", site.url("/page"), added}, {added}, 0},
    };
    std::map<std::string, std::vector<std::int64_t>> copies;
    std::vector<Item> items;
    for (const Case& c : cases) {
        copies[c.item.url] = c.copies;
        items.push_back(c.item);
    }
    LoopbackTimeGate gate(copies);
    std::string path = writeCabinet(home.dir() + "archive.scb", items);

    RetryLog retries;
    tviCabinetCheck check(quickOptions(&retries));
    ASSERT_TRUE(check.open(path));
    ASSERT_TRUE(check.run(60000));
    ASSERT_TRUE(check.findArchived(gate.url(), 60000));
    std::map<std::string, tviCheckResult> byName;
    for (const tviCheckResult& r : check.results())
        byName[r.name] = r;
    auto asked = gate.asked();
    for (const Case& c : cases) {
        const tviCheckResult& r = byName[c.item.name];
        EXPECT_EQ(c.expected == 0 ? "" : gate.memento(c.expected, c.item.url), r.archived)
            << c.item.name;
        EXPECT_EQ(c.expected, r.archivedDate) << c.item.name;
        bool dead = c.item.name != "live";
        EXPECT_EQ(dead, asked.count(c.item.url) > 0) << c.item.name;
        if (dead && c.item.added > 0) {
            EXPECT_EQ(httpDate(c.item.added), asked.find(c.item.url)->second) << c.item.name;
        }
    }
    EXPECT_EQ(httpDate(loadedAt), asked.find(cached)->second);
    // The 429 was asked again once, after the second its Retry-After named.
    EXPECT_EQ(2u, asked.count(site.url("/site/busy.html")));
    {
        std::lock_guard<std::mutex> guard(retries.lock);
        std::vector<int> busy;
        for (const auto& [address, waitMs] : retries.waits) {
            if (address.find("/tg/") != std::string::npos &&
                address.find("busy.html") != std::string::npos)
                busy.push_back(waitMs);
        }
        EXPECT_EQ(std::vector<int>{1000}, busy);
    }
    EXPECT_EQ(6u, check.archivedCount());

    ASSERT_TRUE(check.saveFound(false));
    tviCabinetDocument doc;
    std::string error;
    ASSERT_TRUE(tviCabinetFile::read(testsupport::readFile(path), doc, error)) << error;
    for (const tviCabinetEntry& e : doc.entries) {
        EXPECT_EQ(0, e.status) << e.name; // the statuses as they were before the check
        EXPECT_EQ(byName[e.name].archived, e.archived) << e.name;
        EXPECT_EQ(byName[e.name].archivedDate, e.archivedDate) << e.name;
        EXPECT_EQ(byName[e.name].url, e.url) << e.name;
    }
}

// Through the command: --archived keeps the copies in the cabinet and lists them in JSON;
// --update-archived makes a copy's address the item's own; an empty ArchiveTimeGate asks none.
TEST(tviCabinetArchive, CommandLineArchivedReportsKeepsAndUpdates)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer site(120);
    site.setFile("gone.html", "text/html", "gone", 404);
    std::string gone = site.url("/site/gone.html");
    LoopbackTimeGate gate(std::map<std::string, std::vector<std::int64_t>>{{gone, {added + day}}});
    std::string path = writeCabinet(home.dir() + "archive.scb", {{"gone", gone, added}});
    std::string ini = home.dir() + "Quillara.ini";
    testsupport::writeFile(ini, "[Communication]\r\nArchiveTimeGate=\r\n");
    std::string out;
    EXPECT_EQ(1, runCli("check --archived --json --timeout 60 " + path, out));
    EXPECT_EQ(std::string::npos, out.find("\"archived\"")) << out;
    EXPECT_TRUE(gate.asked().empty());

    testsupport::writeFile(ini, "[Communication]\r\nArchiveTimeGate=" + gate.url() + "\r\n");
    EXPECT_EQ(1, runCli("check --archived --json --timeout 60 " + path, out));
    std::string memento = gate.memento(added + day, gone);
    EXPECT_NE(std::string::npos, out.find("\"archived\":\"" + memento +
                                          "\",\"archived_date\":\"2017-07-15T02:40:00Z\""))
        << out;
    tviCabinetDocument doc;
    std::string error;
    ASSERT_TRUE(tviCabinetFile::read(testsupport::readFile(path), doc, error)) << error;
    ASSERT_EQ(1u, doc.entries.size());
    EXPECT_EQ(memento, doc.entries[0].archived);
    EXPECT_EQ(added + day, doc.entries[0].archivedDate);
    EXPECT_EQ(gone, doc.entries[0].url);

    // The other reports name the copy too: a column in Markdown, system-out in JUnit.
    const std::string iso = "2017-07-15T02:40:00Z";
    EXPECT_EQ(1, runCli("check --archived --format markdown --timeout 60 " + path, out));
    EXPECT_NE(std::string::npos, out.find("| Archived copy |")) << out;
    EXPECT_NE(std::string::npos, out.find("`" + memento + "` " + iso + " |")) << out;
    EXPECT_EQ(1, runCli("check --archived --format junit --timeout 60 " + path, out));
    EXPECT_NE(std::string::npos,
              out.find("<system-out>archived copy " + memento + " (" + iso + ")</system-out>"))
        << out;
    EXPECT_EQ(1, runCli("check --archived --timeout 60 " + path, out));
    EXPECT_NE(std::string::npos, out.find("archived copy " + memento)) << out;
    // Without --update-archived the address stayed.
    ASSERT_TRUE(tviCabinetFile::read(testsupport::readFile(path), doc, error)) << error;
    EXPECT_EQ(gone, doc.entries[0].url);

    EXPECT_EQ(1, runCli("check --update-archived --timeout 60 " + path, out));
    ASSERT_TRUE(tviCabinetFile::read(testsupport::readFile(path), doc, error)) << error;
    EXPECT_EQ(memento, doc.entries[0].url);
}
