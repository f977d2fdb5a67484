#include "EngineHarness.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "Engine/Http/clsCommunicationHttp.h"
#include "Engine/Http/clsSendPacer.h"
#include "Engine/Http/clsUrlCache.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <mutex>

namespace {

using testsupport::EngineHarness;
using testsupport::TestHttpServer;

// The waits a transport asked for before its retries, by address, as whole-second
// milliseconds: what is checked instead of the time that passed.
struct WaitLog {
    std::mutex lock;
    std::map<std::string, std::vector<int>> waits;

    void attach(clsEngineOptions& options)
    {
        options.onRetryWait = [this](const std::string& address, int ms) {
            std::lock_guard<std::mutex> guard(lock);
            waits[address].push_back(ms);
        };
    }
    std::vector<int> of(const std::string& address)
    {
        std::lock_guard<std::mutex> guard(lock);
        return waits[address];
    }
};

struct RetryCase {
    std::string path;
    int status;
    int result;
    int attempts;
    std::vector<std::pair<int, int>> waits; // each wait's lower and upper bound (ms)
    int retryAfterRefused;
};

// Failures that may pass are tried again after 1 s, 2 s ... (plus up to a quarter), or
// after the Retry-After of a 429 or 503 when it is short enough; only the last attempt
// counts. Statuses that say the address is wrong, and asks to wait too long, are not retried.
TEST(clsCommunicationHttp, RetriesWhatMayPassAndHonoursRetryAfter)
{
    testsupport::TempHome home;
    TestHttpServer server;
    clsEngineOptions options = EngineHarness::quickOptions();
    // Far above a loaded machine's answer time, far below the slow first answer.
    options.receiveTimeoutMs = 2500;
    WaitLog log;
    log.attach(options);
    const RetryCase cases[] = {
        {"/flaky?key=a", 4, 0, 2, {{1000, 1250}}, 0},
        {"/slow-once?key=b&ms=9000", 4, 0, 2, {{1000, 1250}}, 0},
        {"/status/503", 5, 503, 3, {{1000, 1250}, {2000, 2500}}, 0},
        {"/status/502", 5, 502, 3, {{1000, 1250}, {2000, 2500}}, 0},
        {"/status/404", 5, 404, 1, {}, 0},
        {"/status/501", 5, 501, 1, {}, 0},
        {"/retry-after?key=c&after=1", 4, 0, 2, {{1000, 1000}}, 0},
        {"/retry-after?key=d&after=date%2B2", 4, 0, 2, {{0, 3000}}, 0},
        {"/retry-after?key=e&after=2&code=429", 4, 0, 2, {{2000, 2000}}, 0},
        {"/status/429?after=3600", 5, 429, 1, {}, 3600},
        {"/status/503?after=61", 5, 503, 1, {}, 61},
        {"/status/503?after=soon", 5, 503, 3, {{1000, 1250}, {2000, 2500}}, 0},
    };
    EngineHarness harness(options);
    std::vector<int> ids;
    for (const RetryCase& c : cases)
        ids.push_back(harness.request(clsRequestMode::read, server.url(c.path))->getId());
    clsUrlInformation* refused =
        harness.request(clsRequestMode::read, "http://127.0.0.1:1/nothing-listens");
    ids.push_back(refused->getId());
    ASSERT_TRUE(harness.waitForEnd(ids)) << harness.unended();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const RetryCase& c = cases[i];
        clsUrlInformation* info = harness.held[i];
        SCOPED_TRACE(c.path);
        EXPECT_EQ(static_cast<int>(info->getStatus()), c.status);
        EXPECT_EQ(info->getResultCode(), c.result);
        EXPECT_EQ(info->getAttempts(), c.attempts);
        EXPECT_EQ(info->getRetryAfterRefused(), c.retryAfterRefused);
        EXPECT_EQ(harness.countNotices(ids[i], clsNodePhase::complete), 1)
            << "only the last attempt is reported";
        std::vector<int> waits = log.of(server.url(c.path));
        ASSERT_EQ(waits.size(), c.waits.size());
        for (std::size_t w = 0; w < waits.size(); ++w) {
            EXPECT_GE(waits[w], c.waits[w].first) << "wait " << w;
            EXPECT_LE(waits[w], c.waits[w].second) << "wait " << w;
        }
    }
    EXPECT_EQ(refused->getResultCode(), -1);
    EXPECT_EQ(refused->getAttempts(), 3) << "a refused connection is tried again";
    EXPECT_EQ(server.arrivalCount("/flaky"), 2u);
    EXPECT_EQ(server.arrivalCount("/status/404"), 1u);
}

// With retries off every failure stands at once; a cancel during a retry's wait ends it.
TEST(clsCommunicationHttp, RetryCountZeroAndCancelDuringTheWait)
{
    testsupport::TempHome home;
    TestHttpServer server;
    clsEngineOptions options = EngineHarness::quickOptions();
    options.retryCount = 0;
    {
        EngineHarness harness(options);
        clsUrlInformation* info = harness.request(clsRequestMode::read, server.url("/flaky?key=z"));
        ASSERT_TRUE(harness.waitForEnd(info->getId()));
        EXPECT_EQ(info->getResultCode(), 500);
        EXPECT_EQ(info->getAttempts(), 1);
    }
    options.retryCount = 2;
    options.retryUnitMs = 1000;
    EngineHarness harness(options);
    clsUrlInformation* info =
        harness.request(clsRequestMode::read, server.url("/status/503?after=30"));
    ASSERT_TRUE(harness.waitUntil([&] { return server.arrivalCount("/status/503") == 1; }));
    harness.window.pump(100);
    harness.engine.queueStop();
    ASSERT_TRUE(harness.waitForEnd(info->getId(), 10000))
        << "a wait of 30 s is cut short by the cancel";
    EXPECT_EQ(info->getStatus(), clsRequestStatus::failed);
    EXPECT_EQ(server.arrivalCount("/status/503"), 1u);
}

TEST(clsCommunicationHttp, ReadsRetryAfterAsSecondsOrHttpDate)
{
    const std::time_t now = 1796119200; // Tue, 01 Dec 2026 10:00:00 GMT
    const std::pair<const char*, int> cases[] = {
        {"0", 0},
        {"1", 1},
        {"120", 120},
        {"99999999999", INT_MAX},
        {"", -1},
        {"soon", -1},
        {"Tue, 01 Dec 2026 10:00:30 GMT", 30},
        {"Tue, 01 Dec 2026 09:00:00 GMT", 0},
        {"Tuesday, 01-Dec-26 10:01:00 GMT", 60},
    };
    for (auto [value, seconds] : cases)
        EXPECT_EQ(clsCommunicationHttp::retryAfterSeconds(value, now), seconds) << value;
}

// A host held after a Retry-After gets no turn before the hold ends; other hosts are not held.
TEST(clsCommunicationHttp, PacerHoldsOnlyTheHostThatAskedToWait)
{
    std::atomic<std::uint64_t> now{1000};
    clsSendPacer pacer(1, true, [&now] { return now.load(); });
    pacer.holdHost("slow.example", 150);
    std::uint64_t readyAt = 0;
    EXPECT_TRUE(pacer.tryTurn("other.example", readyAt));
    EXPECT_FALSE(pacer.tryTurn("slow.example", readyAt));
    EXPECT_EQ(readyAt, 1150u);
    now = 1150;
    EXPECT_TRUE(pacer.tryTurn("slow.example", readyAt));
}

// A second read of a cached page asks whether it changed; the 304 ends it loaded with the
// analysis of the cached copy, equal to the first, and moves a fraction of the bytes.
TEST(clsCommunicationHttp, ConditionalRecheckServesTheCachedCopy)
{
    testsupport::TempHome home;
    TestHttpServer server;
    struct CacheForTest {
        explicit CacheForTest(const std::string& dir) { InitUrlCache(dir, 1 << 20); }
        ~CacheForTest() { TermUrlCache(); }
    } cache(home.dir() + "Cache/");
    clsEngineOptions options = EngineHarness::quickOptions();
    options.nodeFactory = nullptr; // HTML analysis, which stores pages in the cache
    struct Seen {
        std::string title;
        std::vector<std::string> links;
        std::int64_t wire = 0;
        bool notModified = false;
    };
    std::vector<Seen> reads;
    {
        EngineHarness harness(options);
        harness.keepNodes = true;
        const std::string address = server.url("/etag?key=k&size=6000");
        for (clsRequestMode mode :
             {clsRequestMode::read, clsRequestMode::reload, clsRequestMode::reload}) {
            harness.ended.clear();
            clsUrlInformation* info = harness.request(mode, address);
            ASSERT_TRUE(harness.waitForEnd(info->getId()));
            ASSERT_EQ(info->getStatus(), clsRequestStatus::complete);
            clsQuillaraItem* node = harness.finalNode[info->getId()];
            Seen seen{node->getTitle(), {}, info->getWireBytes(), info->isNotModified()};
            for (int i = 0; i < node->getLinkCount(); ++i) {
                clsLinkProperties link;
                node->getLink(i, link);
                seen.links.push_back(link.address);
            }
            reads.push_back(seen);
        }
        std::vector<TestHttpServer::Arrival> arrivals = server.arrivals();
        ASSERT_EQ(arrivals.size(), 3u);
        EXPECT_EQ(arrivals[0].ifNoneMatch, "");
        EXPECT_EQ(arrivals[1].ifNoneMatch, "\"v1-k\"");
        EXPECT_EQ(arrivals[1].ifModifiedSince, "Tue, 01 Dec 2026 10:00:00 GMT");
    }
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_FALSE(reads[0].notModified);
    EXPECT_EQ(reads[0].title, "Cached page");
    EXPECT_EQ(reads[0].links.size(), 2u);
    for (std::size_t i = 1; i < reads.size(); ++i) {
        EXPECT_TRUE(reads[i].notModified);
        EXPECT_EQ(reads[i].title, reads[0].title);
        EXPECT_EQ(reads[i].links, reads[0].links);
        EXPECT_LT(reads[i].wire * 10, reads[0].wire) << reads[i].wire << " of " << reads[0].wire;
    }
}

// Only a chain that begins with permanent redirects tells where an address moved; a loop or
// a chain too long is marked so that the tree can say why it failed.
TEST(clsCommunicationHttp, ReportsPermanentMovesAndRedirectLoops)
{
    testsupport::TempHome home;
    TestHttpServer server;
    struct Case {
        std::string path;
        int status;
        std::string moved; // path, or empty
        bool loop;
    } cases[] = {
        {"/moved?n=2&code=301", 4, "/moved?n=0&code=301", false},
        {"/moved?n=1&code=308", 4, "/moved?n=0&code=308", false},
        {"/moved?n=2&code=302", 4, "", false},
        {"/moved?n=1&code=307", 4, "", false},
        {"/redirect?n=2", 4, "", false},
        {"/page", 4, "", false},
        {"/self", 5, "", true},
        {"/loop/a", 5, "", true},
        {"/redirect?n=11", 5, "", true},
        {"/moved?n=11&code=301", 5, "/moved?n=1&code=301", true},
    };
    EngineHarness harness;
    std::vector<int> ids;
    for (const Case& c : cases)
        ids.push_back(harness.request(clsRequestMode::read, server.url(c.path))->getId());
    ASSERT_TRUE(harness.waitForEnd(ids)) << harness.unended();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].path);
        clsUrlInformation* info = harness.held[i];
        EXPECT_EQ(static_cast<int>(info->getStatus()), cases[i].status);
        EXPECT_EQ(info->getMovedAddress(),
                  cases[i].moved.empty() ? "" : server.url(cases[i].moved));
        EXPECT_EQ(info->isRedirectLoop(), cases[i].loop);
    }
}

} // namespace
