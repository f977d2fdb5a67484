#include "EngineHarness.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "Common/utlInstanceCounter.h"
#include "Engine/Core/clsBlockItem.h"
#include "Engine/Http/clsSendPacer.h"
#include "Engine/Url/utlUrlParts.h"
#include "Platform/platformText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using testsupport::EngineHarness;
using testsupport::TestHttpServer;

int liveCount(const char* name)
{
    for (const InstanceCount& count : instanceCounts())
        if (count.name == name)
            return count.live;
    return 0;
}

// Records and nodes that are still alive: after every reference is given back there must
// be none, whatever was dropped, cancelled or reloaded on the way.
int liveObjects()
{
    return liveCount("clsUrlInformation") + liveCount("clsQuillaraItem");
}

clsEngineOptions optionsWithReceiveTimeout(int ms)
{
    clsEngineOptions options = EngineHarness::quickOptions();
    options.receiveTimeoutMs = ms;
    return options;
}

struct RouteCase {
    std::string address;
    int status;
    int result;
    const char* protocol;  // null: not checked
    long long received;    // -1: not checked
    int redirects;         // -1: not checked
    const char* finalPath; // null: not checked
};

// Every route, good and bad, ends with one final notification and the right status:
// non-text pages end complete without data, a dead FTP address fails like a dead HTTP one, an
// address of a scheme nobody fetches ends not checked (6), HTTP errors carry their code,
// redirects that loop or go on too long fail with their 3xx code, stalled and broken
// transfers fail with -1, so does an address that names no server, and nothing stays "reading".
TEST(clsQuillaraEngine, EndsEveryRouteWithItsFinalStatus)
{
    testsupport::TempHome home;
    TestHttpServer server;
    testsupport::writeFile(home.path() / "page.html", "<html><title>local</title></html>");
    std::string local = (home.path() / "page.html").string();
    const RouteCase cases[] = {
        {server.url("/page"), 4, 0, "http(text/html)", -1, 0, "/page"},
        {server.url("/notype"), 4, 0, "http(\x95s\x96\xBE)", 0, 0, nullptr},
        {server.url("/binary"), 4, 0, "http(application/octet-stream)", 0, 0, nullptr},
        {server.url("/status/404"), 5, 404, nullptr, -1, -1, nullptr},
        {server.url("/status/410"), 5, 410, nullptr, -1, -1, nullptr},
        {server.url("/status/500"), 5, 500, nullptr, -1, -1, nullptr},
        {server.url("/status/503"), 5, 503, nullptr, -1, -1, nullptr},
        {server.url("/redirect?n=3"), 4, 0, "http(text/html)", -1, 3, "/redirect?n=0"},
        {server.url("/redirect?n=10"), 4, 0, nullptr, -1, 10, "/redirect?n=0"},
        {server.url("/redirect?n=11"), 5, 302, nullptr, -1, 10, nullptr},
        {server.url("/relative/start"), 4, 0, nullptr, -1, 1, "/relative/target"},
        {server.url("/loop/a"), 5, 302, nullptr, -1, 1, nullptr},
        {server.url("/self"), 5, 301, nullptr, -1, 0, nullptr},
        {server.url("/hang"), 5, -1, nullptr, -1, -1, nullptr},
        {server.url("/drip?n=3&ms=9000"), 5, -1, nullptr, -1, -1, nullptr},
        {server.url("/drip?n=3&ms=100"), 4, 0, nullptr, 3, 0, nullptr},
        {server.url("/reset"), 5, -1, nullptr, -1, -1, nullptr},
        {server.url("/text?size=5000"), 4, 0, "http(text/plain)", 5000, 0, nullptr},
        {"ftp://127.0.0.1:1/file.zip", 5, -1, nullptr, 0, -1, nullptr},
        {"mailto:someone@example.jp", 6, 0, "mailto", 0, -1, nullptr},
        {"no-scheme-at-all", 5, -1, nullptr, 0, -1, nullptr},
        {"http:///127.0.0.1/no-server", 5, -1, nullptr, 0, -1, nullptr},
        {"https://@:8080/no-server", 5, -1, nullptr, 0, -1, nullptr},
        {server.url("/redirect-to?to=http:///" + server.url("/page").substr(7)), 5, 302, nullptr,
         -1, -1, nullptr},
        {local, 4, 0, "Local File", 33, -1, nullptr},
        {"file://" + local, 4, 0, "Local File", 33, -1, nullptr},
        {(home.path() / "missing.html").string(), 5, -1, nullptr, 0, -1, nullptr},
        {home.path().string(), 5, -1, nullptr, 0, -1, nullptr},
    };
    // A time-out far above what a loaded machine (or ThreadSanitizer) needs for a page, and far
    // below the dripping server's gaps.
    EngineHarness harness(optionsWithReceiveTimeout(3000));
    std::vector<int> ids;
    for (const RouteCase& c : cases) {
        clsUrlInformation* info = harness.request(clsRequestMode::read, c.address);
        ASSERT_NE(info, nullptr) << c.address;
        ids.push_back(info->getId());
    }
    ASSERT_TRUE(harness.waitForEnd(ids)) << harness.unended();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const RouteCase& c = cases[i];
        clsUrlInformation* info = harness.held[i];
        SCOPED_TRACE(c.address);
        EXPECT_EQ(static_cast<int>(info->getStatus()), c.status);
        EXPECT_EQ(info->getResultCode(), c.result);
        EXPECT_EQ(harness.countNotices(ids[i], clsNodePhase::complete), 1);
        if (c.protocol != nullptr) {
            EXPECT_EQ(info->getProtocol(), c.protocol);
        }
        if (c.received >= 0) {
            EXPECT_EQ(info->getReceivedBytes(), c.received);
        }
        if (c.redirects >= 0) {
            EXPECT_EQ(static_cast<int>(info->getRedirects().size()), c.redirects);
        }
        if (c.finalPath != nullptr) {
            EXPECT_EQ(info->getAddress(), server.url(c.finalPath));
        }
        EXPECT_EQ(info->getOriginalAddress(), c.address);
    }
    // A head of an address that names no server fails too, rather than never ending.
    clsUrlInformation* head = harness.request(clsRequestMode::headOnly, "ftp:///no-server");
    ASSERT_NE(head, nullptr);
    EXPECT_TRUE(harness.waitUntil([&] { return head->getStatus() == clsRequestStatus::failed; }));
}

// Every request's notifications come in order whichever way its page arrives (all with the
// header, in blocks over time, from a file, not at all): a page that has data is announced
// once (3025) before any progress (3026) and ends once (3027) with all its data and its
// analysis; a page shorter than a block, even one that trickles in after its header, is
// announced with its one pass; a page without data only ends. Both node kinds, and a reload
// of each page.
TEST(clsQuillaraEngine, TellsEachRequestInOrderWhateverWayItsPageCame)
{
    testsupport::TempHome home;
    TestHttpServer server;
    testsupport::writeFile(home.path() / "page.html", "<html><title>local</title></html>");
    struct Case {
        std::string address;
        bool announced;
        bool whole; // less than a block: announced with its one pass, "13"
        int status;
        long long received; // -1: not checked
        const char* title;  // with analysis nodes; null: not checked
    };
    const Case cases[] = {
        {server.url("/page"), true, true, 4, -1, "Test page"},
        {server.url("/text?size=5000"), true, false, 4, 5000, nullptr},
        {server.url("/big?mb=2"), true, false, 4, 2 << 20, nullptr},
        {server.url("/drip?n=3&ms=60"), true, true, 4, 3, nullptr},
        {(home.path() / "page.html").string(), true, true, 4, 33, "local"},
        {server.url("/status/404"), false, false, 5, -1, nullptr},
        {server.url("/binary"), false, false, 4, 0, nullptr},
        {"ftp://127.0.0.1:1/file.zip", false, false, 5, -1, nullptr},
        {"mailto:someone@example.jp", false, false, 6, 0, nullptr},
    };
    for (bool analysed : {false, true}) {
        clsEngineOptions options = EngineHarness::quickOptions();
        if (analysed)
            options.nodeFactory = nullptr;
        EngineHarness harness(options);
        std::map<int, std::string> titles;
        harness.onNotice = [&](int id, clsQuillaraItem* node, clsNodePhase phase) {
            if (phase == clsNodePhase::complete)
                titles[id] = node->getTitle();
        };
        for (clsRequestMode mode : {clsRequestMode::read, clsRequestMode::reload}) {
            harness.notices.clear();
            harness.ended.clear();
            std::vector<int> ids;
            for (const Case& c : cases)
                ids.push_back(harness.request(mode, c.address)->getId());
            ASSERT_TRUE(harness.waitForEnd(ids)) << harness.unended();
            for (std::size_t i = 0; i < std::size(cases); ++i) {
                const Case& c = cases[i];
                SCOPED_TRACE(c.address + (analysed ? " analysed" : " blocks") +
                             (mode == clsRequestMode::read ? "" : " reload"));
                std::string phases;
                testsupport::Notice last;
                for (const testsupport::Notice& n : harness.notices)
                    if (n.id == ids[i]) {
                        phases += static_cast<char>('0' + n.phase);
                        last = n;
                    }
                std::string middle = phases.size() > 2 ? phases.substr(1, phases.size() - 2) : "";
                if (c.whole) {
                    EXPECT_EQ(phases, "13");
                } else if (c.announced) {
                    EXPECT_EQ(phases.front(), '1') << phases;
                    EXPECT_EQ(middle.find_first_not_of('2'), std::string::npos) << phases;
                } else {
                    EXPECT_EQ(phases, "3");
                }
                EXPECT_EQ(phases.back(), '3') << phases;
                EXPECT_EQ(last.status, c.status);
                if (c.received >= 0 && !analysed) {
                    EXPECT_EQ(static_cast<long long>(last.received), c.received);
                }
                if (c.title != nullptr && analysed) {
                    EXPECT_EQ(titles[ids[i]], c.title);
                }
            }
        }
    }
}

// Holds every analysis pass until the test opens it, so that the engine thread's queue fills
// behind a pass as the test wants.
class AnalysisGate {
public:
    void pass()
    {
        std::unique_lock<std::mutex> guard(lock);
        opened.wait(guard, [this] { return open; });
    }
    void openAll()
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            open = true;
        }
        opened.notify_all();
    }

private:
    std::mutex lock;
    std::condition_variable opened;
    bool open = false;
};

class GatedNode : public clsBlockItem {
public:
    explicit GatedNode(AnalysisGate& gate) : gate(gate) {}
    bool analyze(bool& complete) override
    {
        gate.pass();
        return clsBlockItem::analyze(complete);
    }

private:
    AnalysisGate& gate;
};

// A page that is complete but whose final notification is still on its way is not told again
// at once (that 3027 would come before its 3025): the one on its way tells the caller. Jobs
// and a cancel queued behind one another keep their order: the pass before the cancel tells
// its page; a read behind the cancel is dropped and ends failed.
TEST(clsQuillaraEngine, AskingAgainBeforeTheFinalNotificationTellsOnceInOrder)
{
    testsupport::TempHome home;
    TestHttpServer server;
    AnalysisGate gate;
    clsEngineOptions options = EngineHarness::quickOptions();
    options.nodeFactory = [&gate](int) -> clsQuillaraItem* { return new GatedNode(gate); };
    EngineHarness harness(options);
    harness.keepNodes = true;
    struct Opener {
        AnalysisGate& gate;
        ~Opener() { gate.openAll(); }
    } opener{gate};
    auto workersIdle = [&] {
        int state = 0, a = 0, b = 0;
        harness.engine.getActivity(state, a, b);
        return state == 0;
    };
    auto phasesOf = [&](int id) {
        std::string phases;
        for (const testsupport::Notice& n : harness.notices)
            if (n.id == id)
                phases += static_cast<char>('0' + n.phase);
        return phases;
    };
    std::string pageA = server.url("/text?size=100&k=a");
    clsUrlInformation* a = harness.request(clsRequestMode::read, pageA);
    ASSERT_TRUE(harness.waitUntil(
        [&] { return a->getStatus() == clsRequestStatus::complete && workersIdle(); }));
    EXPECT_EQ(harness.request(clsRequestMode::read, pageA), a);

    clsUrlInformation* b = harness.request(clsRequestMode::read, server.url("/text?size=200&k=b"));
    ASSERT_TRUE(harness.waitUntil(
        [&] { return b->getStatus() == clsRequestStatus::complete && workersIdle(); }));
    harness.engine.queueStop();
    // A local page is read by the engine thread: its read job waits behind the cancel.
    testsupport::writeFile(home.path() / "c.html", "<html></html>");
    clsUrlInformation* c = harness.request(clsRequestMode::read, (home.path() / "c.html").string());
    gate.openAll();
    ASSERT_TRUE(harness.waitForEnd({a->getId(), b->getId(), c->getId()})) << harness.unended();
    for (clsUrlInformation* info : {a, b}) {
        SCOPED_TRACE(info->getAddress());
        EXPECT_EQ(phasesOf(info->getId()), "13");
        EXPECT_EQ(info->getStatus(), clsRequestStatus::complete);
        EXPECT_EQ(info->getResultCode(), 0);
    }
    EXPECT_EQ(phasesOf(c->getId()), "3");
    EXPECT_EQ(c->getStatus(), clsRequestStatus::failed);
    EXPECT_EQ(c->getResultCode(), -1);

    // Once it has been told, asking again tells it again at once, without a fetch.
    harness.ended.clear();
    harness.request(clsRequestMode::read, pageA);
    ASSERT_TRUE(harness.waitForEnd(a->getId()));
    EXPECT_EQ(phasesOf(a->getId()), "133");
    EXPECT_EQ(server.arrivalCount("/text"), 2u);
}

// The GET carries the configured agent name and never the fragment; the body arrives in
// blocks of 2048 bytes, in order, whole.
TEST(clsQuillaraEngine, SendsAgentWithoutFragmentAndStreamsBlocks)
{
    testsupport::TempHome home;
    TestHttpServer server;
    EngineHarness harness;
    harness.keepNodes = true;
    int echo = harness.request(clsRequestMode::read, server.url("/echo#section-2"))->getId();
    int text = harness.request(clsRequestMode::read, server.url("/text?size=5000"))->getId();
    int big = harness.request(clsRequestMode::read, server.url("/big?mb=20"))->getId();
    ASSERT_TRUE(harness.waitForEnd({echo, text, big})) << harness.unended();

    std::string request = testsupport::nodeBytes(harness.finalNode[echo]);
    EXPECT_NE(request.find("GET /echo HTTP/1.1\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("User-Agent: QuillaraTest/1.0\r\n"), std::string::npos) << request;
    EXPECT_EQ(request.find('#'), std::string::npos);
    EXPECT_EQ(server.arrivals().front().target.find('#'), std::string::npos);

    clsQuillaraItem* textNode = harness.finalNode[text];
    ASSERT_EQ(textNode->getBlockCount(), 3u);
    std::vector<std::size_t> lengths;
    for (std::size_t i = 0; i < 3; ++i) {
        const char* data = nullptr;
        std::size_t length = 0;
        textNode->getBlock(i, data, length);
        EXPECT_EQ(data[length], 0) << "the byte after a block is 0";
        lengths.push_back(length);
    }
    EXPECT_EQ(lengths, (std::vector<std::size_t>{2048, 2048, 904}));
    std::string body = testsupport::nodeBytes(textNode);
    for (std::size_t i = 0; i < body.size(); ++i)
        ASSERT_EQ(body[i], static_cast<char>('a' + i % 26)) << "at " << i;

    clsQuillaraItem* bigNode = harness.finalNode[big];
    EXPECT_EQ(bigNode->getReceivedLength(), std::size_t(20) << 20);
    EXPECT_EQ(bigNode->getBlockCount(), (std::size_t(20) << 20) / 2048);
    EXPECT_GE(harness.countNotices(big, clsNodePhase::analysed), 1)
        << "a long page shows progress before it ends";
}

// An https address keeps its scheme after its first read: reading it again must not go out
// as plain http (the loopback server speaks only http, so a downgrade would reach it).
TEST(clsQuillaraEngine, NeverSendsHttpsAddressOverPlainHttp)
{
    testsupport::TempHome home;
    TestHttpServer server;
    EngineHarness harness;
    std::string address = "https://127.0.0.1:" + std::to_string(server.port()) + "/page";
    clsUrlInformation* info = harness.request(clsRequestMode::read, address);
    ASSERT_TRUE(harness.waitForEnd(info->getId()));
    EXPECT_EQ(info->getStatus(), clsRequestStatus::failed);
    harness.ended.clear();
    harness.request(clsRequestMode::reload, address);
    ASSERT_TRUE(harness.waitForEnd(info->getId()));
    EXPECT_EQ(info->getScheme(), "https");
    EXPECT_EQ(info->getResultCode(), -1);
    EXPECT_EQ(server.arrivalCount("/page"), 0u);
}

// The registry: one record per (kind, address), one read however often it is asked for,
// mode 3 registers only, a complete page is told again at once, reload and the read-again
// modes make a new node with the forced code kind.
TEST(clsQuillaraEngine, RequestModesActOnTheRegisteredRecord)
{
    testsupport::TempHome home;
    TestHttpServer server;
    EngineHarness harness;
    harness.keepNodes = true;
    std::string slow = server.url("/drip?n=2&ms=200");
    clsUrlInformation* first = harness.request(clsRequestMode::read, slow);
    clsUrlInformation* second = harness.request(clsRequestMode::read, slow + " \t");
    EXPECT_EQ(first, second);
    clsUrlInformation* frame = harness.request(clsRequestMode::read, slow, 18);
    EXPECT_NE(frame->getId(), first->getId());
    ASSERT_TRUE(harness.waitForEnd({first->getId(), frame->getId()}));
    EXPECT_EQ(server.arrivalCount("/drip"), 2u);

    std::string page = server.url("/page");
    clsUrlInformation* registered = harness.request(clsRequestMode::registerOnly, page);
    EXPECT_EQ(registered->getStatus(), clsRequestStatus::registered);
    harness.window.pump(100);
    for (clsNodePhase phase :
         {clsNodePhase::started, clsNodePhase::analysed, clsNodePhase::complete})
        EXPECT_EQ(harness.countNotices(registered->getId(), phase), 0);
    EXPECT_EQ(server.arrivalCount("/page"), 0u);
    harness.request(clsRequestMode::read, page);
    ASSERT_TRUE(harness.waitForEnd(registered->getId()));
    EXPECT_EQ(registered->getStatus(), clsRequestStatus::complete);
    clsQuillaraItem* firstNode = harness.finalNode[registered->getId()];

    harness.ended.clear();
    harness.request(clsRequestMode::read, page);
    ASSERT_TRUE(harness.waitForEnd(registered->getId()));
    EXPECT_EQ(server.arrivalCount("/page"), 1u) << "a complete page is not fetched again";
    EXPECT_EQ(harness.finalNode[registered->getId()], firstNode);

    const std::pair<clsRequestMode, int> modes[] = {{clsRequestMode::reload, 0},
                                                    {clsRequestMode::readAgainSjis, 2},
                                                    {clsRequestMode::readAgainJis, 3},
                                                    {clsRequestMode::readAgainEuc, 4}};
    std::size_t arrivals = 1;
    for (auto [mode, codeKind] : modes) {
        harness.ended.clear();
        harness.request(mode, page);
        ASSERT_TRUE(harness.waitForEnd(registered->getId()));
        EXPECT_EQ(server.arrivalCount("/page"), ++arrivals);
        clsQuillaraItem* node = harness.finalNode[registered->getId()];
        EXPECT_NE(node, firstNode);
        EXPECT_EQ(node->getCodeKind(), codeKind);
        firstNode = node;
    }
}

// When nobody holds a request any more it leaves the registry, and asking again gives a
// new id; a record that took over another's address by a redirect, when it goes, leaves
// the other's registry entry in place.
TEST(clsQuillaraEngine, UnregistersOnlyItsOwnEntries)
{
    testsupport::TempHome home;
    TestHttpServer server;
    int baseline = liveObjects();
    EngineHarness harness;
    std::string target = server.url("/redirect?n=0");
    clsUrlInformation* other = harness.request(clsRequestMode::registerOnly, target);
    clsUrlInformation* redirected =
        harness.request(clsRequestMode::read, server.url("/redirect?n=1"));
    ASSERT_TRUE(harness.waitForEnd(redirected->getId()));
    EXPECT_EQ(redirected->getAddress(), target);
    int oldId = redirected->getId();
    redirected->releaseQueueRef();
    harness.held.erase(std::find(harness.held.begin(), harness.held.end(), redirected));
    EXPECT_TRUE(harness.waitUntil([&] { return harness.engine.getRegisteredCount() == 1; }));

    clsUrlInformation* found = harness.engine.findByAddress(0, target);
    EXPECT_EQ(found, other);
    if (found != nullptr)
        found->releaseQueueRef();
    clsUrlInformation* again = harness.request(clsRequestMode::read, server.url("/redirect?n=1"));
    EXPECT_GT(again->getId(), oldId);
    ASSERT_TRUE(harness.waitForEnd(again->getId()));
    harness.releaseAll();
    EXPECT_TRUE(harness.waitUntil([&] { return harness.engine.getRegisteredCount() == 0; }));
    EXPECT_TRUE(harness.waitUntil([&] { return liveObjects() == baseline; }));
}

// Reloading and reading again from inside every notification, while the first read is
// still running, neither frees a record in use nor loses a reference.
TEST(clsQuillaraEngine, ReloadWhileReadingIsSafe)
{
    testsupport::TempHome home;
    TestHttpServer server;
    int baseline = liveObjects();
    {
        EngineHarness harness;
        std::string address = server.url("/text?size=20000");
        int reloads = 0;
        harness.keepNodes = true;
        // Once the transfer has set the page complete, earlier passes are still on their way:
        // a new read then replaces the node while old references to it are out. A replaced
        // node tells how its own read ended, not how the page is now, so it starts nothing.
        harness.onNotice = [&](int, clsQuillaraItem* node, clsNodePhase phase) {
            if (reloads >= 15 || node->getOwner() == nullptr ||
                node->getStatus() != clsRequestStatus::complete)
                return;
            ++reloads;
            clsUrlInformation* info = nullptr;
            clsRequestMode mode =
                phase == clsNodePhase::complete
                    ? clsRequestMode::reload
                    : (reloads % 2 ? clsRequestMode::readAgain : clsRequestMode::reload);
            if (harness.engine.requestItem(mode, 0, address, info))
                info->releaseQueueRef();
        };
        clsUrlInformation* info = harness.request(clsRequestMode::read, address);
        for (int i = 0; i < 500 && reloads < 15; ++i)
            harness.window.pump(20);
        harness.onNotice = nullptr;
        ASSERT_TRUE(
            harness.waitUntil([&] { return info->getStatus() == clsRequestStatus::complete; }));
        EXPECT_EQ(info->getReceivedBytes(), 20000);
        EXPECT_EQ(server.arrivalCount("/text"), 16u) << "every reload fetched again";
    }
    EXPECT_EQ(liveObjects(), baseline);
}

// A node that takes its time to note that its data is all in (the analysis node stores the
// page in the cache there): a pass waiting when the last block came may see the transfer
// ended meanwhile and tell 3027 while the worker is still there.
class SlowEndingNode : public clsBlockItem {
public:
    bool setTransferEnded() override
    {
        bool ok = clsBlockItem::setTransferEnded();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return ok;
    }
};

// The final notification of a page that came in blocks finds the request complete, however
// long the node takes to end its transfer while a pass is waiting.
TEST(clsQuillaraEngine, FinalNotificationFindsThePageComplete)
{
    testsupport::TempHome home;
    TestHttpServer server;
    clsEngineOptions options = EngineHarness::quickOptions();
    options.nodeFactory = [](int) -> clsQuillaraItem* { return new SlowEndingNode(); };
    EngineHarness harness(options);
    std::vector<int> ids;
    // Pages that come in blocks over time, so that a pass is waiting when the last one is in.
    for (int i = 0; i < 12; ++i)
        ids.push_back(
            harness.request(clsRequestMode::read, server.url("/big?mb=1&n=" + std::to_string(i)))
                ->getId());
    ASSERT_TRUE(harness.waitForEnd(ids)) << harness.unended();
    for (const testsupport::Notice& n : harness.notices)
        if (n.phase == static_cast<int>(clsNodePhase::complete)) {
            EXPECT_EQ(n.status, static_cast<int>(clsRequestStatus::complete)) << "id " << n.id;
        }
}

// A cancel ends the running transfers (four: the cap on transfers in flight) with -2 and
// the queued requests with -1, tells the tree about each, gives back every reference the
// dropped jobs held, returns however the server behaves, and leaves workers that take new
// jobs.
TEST(clsQuillaraEngine, StopCancelsTransfersAndDropsQueuedJobs)
{
    testsupport::TempHome home;
    TestHttpServer server;
    int baseline = liveObjects();
    {
        clsEngineOptions options = optionsWithReceiveTimeout(30000);
        options.maxTransfers = 4;
        EngineHarness harness(options);
        std::vector<int> ids;
        for (int i = 0; i < 7; ++i)
            ids.push_back(
                harness.request(clsRequestMode::read, server.url("/hang?i=" + std::to_string(i)))
                    ->getId());
        while (server.arrivalCount("/hang") < 4)
            harness.window.pump(20);
        harness.engine.queueStop();
        ASSERT_TRUE(harness.waitForEnd(ids)) << harness.unended();
        int cancelled = 0;
        int dropped = 0;
        for (clsUrlInformation* info : harness.held) {
            EXPECT_EQ(info->getStatus(), clsRequestStatus::failed);
            cancelled += info->getResultCode() == -2 ? 1 : 0;
            dropped += info->getResultCode() == -1 ? 1 : 0;
        }
        EXPECT_EQ(cancelled, 4);
        EXPECT_EQ(dropped, 3);
        for (int id : ids)
            EXPECT_EQ(harness.countNotices(id, clsNodePhase::complete), 1);

        clsUrlInformation* after = harness.request(clsRequestMode::read, server.url("/page"));
        ASSERT_TRUE(harness.waitForEnd(after->getId()));
        EXPECT_EQ(after->getStatus(), clsRequestStatus::complete);
    }
    EXPECT_EQ(liveObjects(), baseline);
}

// Shutting down while every worker waits on a silent server, and a cancel is under way,
// returns, and records a caller still holds stay readable and can be given back after the engine is gone.
TEST(clsQuillaraEngine, TermReturnsWhileServerHangsAndRecordsOutliveIt)
{
    testsupport::TempHome home;
    TestHttpServer server;
    int baseline = liveObjects();
    auto harness = std::make_unique<EngineHarness>(optionsWithReceiveTimeout(30000));
    std::vector<clsUrlInformation*> kept;
    for (int i = 0; i < 6; ++i) {
        clsUrlInformation* info = nullptr;
        harness->engine.requestItem(clsRequestMode::read, 0,
                                    server.url("/hang?t=" + std::to_string(i)), info);
        kept.push_back(info);
    }
    while (server.arrivalCount("/hang") < 4)
        harness->window.pump(20);
    // A cancel that is still running when the engine goes must not start workers again.
    harness->engine.queueStop();
    harness.reset();
    for (clsUrlInformation* info : kept) {
        EXPECT_EQ(info->getEngine(), nullptr);
        EXPECT_NE(info->getStatus(), clsRequestStatus::complete);
        info->releaseQueueRef();
    }
    EXPECT_EQ(liveObjects(), baseline);
}

// Many requests, reloads and a cancel at once, for ThreadSanitizer: every request ends, and
// once all references are given back no record or node is left.
TEST(clsQuillaraEngine, ConcurrentRequestsReloadsAndCancelsLeaveNothingBehind)
{
    testsupport::TempHome home;
    TestHttpServer server;
    int baseline = liveObjects();
    {
        EngineHarness harness;
        std::vector<int> ids;
        for (int i = 0; i < 120; ++i) {
            std::string address = server.url("/text?size=" + std::to_string(100 + i * 97));
            ids.push_back(harness.request(clsRequestMode::read, address)->getId());
            if (i % 7 == 0)
                harness.request(clsRequestMode::reload,
                                server.url("/text?size=" + std::to_string(100 + (i / 2) * 97)));
            if (i == 60)
                harness.engine.queueStop();
            if (i % 10 == 0)
                harness.window.pump(0);
        }
        ASSERT_TRUE(harness.waitForEnd(ids)) << harness.unended();
    }
    EXPECT_EQ(liveObjects(), baseline);
}

std::vector<std::uint64_t> arrivalTicks(const TestHttpServer& server,
                                        const std::string& hostPrefix = {})
{
    std::vector<std::uint64_t> ticks;
    for (const auto& arrival : server.arrivals())
        if (arrival.host.starts_with(hostPrefix))
            ticks.push_back(arrival.tick);
    std::sort(ticks.begin(), ticks.end());
    return ticks;
}

std::vector<std::uint64_t> releaseTicks(const std::vector<clsSendPacer::Release>& releases,
                                        const std::string& host = {})
{
    std::vector<std::uint64_t> ticks;
    for (const auto& release : releases)
        if (host.empty() || release.host == host)
            ticks.push_back(release.tick);
    return ticks;
}

// The pacer's own release times are at least one interval apart, whatever the load. What the
// server sees is checked only for what load cannot change: no request arrives before the
// pacer released it (the k-th arrival is not earlier than the k-th release). A span of arrivals
// is no bound at all, since a slow first handler on the server side shrinks it at will.
void expectPaced(const std::vector<std::uint64_t>& released,
                 const std::vector<std::uint64_t>& arrived, std::size_t count,
                 std::uint64_t interval, const std::string& what)
{
    ASSERT_EQ(released.size(), count) << what;
    ASSERT_EQ(arrived.size(), count) << what;
    for (std::size_t i = 1; i < released.size(); ++i)
        EXPECT_GE(released[i] - released[i - 1], interval) << what << " release " << i;
    for (std::size_t i = 0; i < arrived.size(); ++i)
        EXPECT_GE(arrived[i], released[i])
            << what << " arrival " << i << " came before its release";
}

// Program-wide pacing: one release per interval, whichever worker sends.
TEST(clsQuillaraEngine, PacesRequestsProgramWide)
{
    testsupport::TempHome home;
    TestHttpServer server;
    clsEngineOptions options = EngineHarness::quickOptions();
    options.paceIntervalMs = 300;
    EngineHarness harness(options);
    harness.engine.getPacer().recordReleases(true);
    std::vector<int> ids;
    for (int i = 0; i < 5; ++i)
        ids.push_back(
            harness
                .request(clsRequestMode::read, server.url("/text?size=" + std::to_string(10 + i)))
                ->getId());
    ASSERT_TRUE(harness.waitForEnd(ids)) << harness.unended();
    expectPaced(releaseTicks(harness.engine.getPacer().getReleases()), arrivalTicks(server), 5, 300,
                "program");
}

// Pacing per host: each host is paced on its own, and a host that must wait holds no worker:
// with more queued requests for one host than there are workers, the other host's requests
// are released between them, not after them.
TEST(clsQuillaraEngine, PacesEachHostOnItsOwn)
{
    testsupport::TempHome home;
    TestHttpServer server;
    clsEngineOptions options = EngineHarness::quickOptions();
    options.paceIntervalMs = 400;
    options.paceMode = clsPaceMode::perHost;
    EngineHarness harness(options);
    harness.engine.getPacer().recordReleases(true);
    std::string port = std::to_string(server.port());
    std::vector<int> ids;
    for (int i = 0; i < 5; ++i)
        ids.push_back(harness
                          .request(clsRequestMode::read, "http://127.0.0.1:" + port +
                                                             "/text?size=" + std::to_string(i + 1))
                          ->getId());
    for (int i = 0; i < 2; ++i)
        ids.push_back(harness
                          .request(clsRequestMode::read, "http://localhost:" + port +
                                                             "/text?size=" + std::to_string(i + 1))
                          ->getId());
    ASSERT_TRUE(harness.waitForEnd(ids)) << harness.unended();
    std::vector<clsSendPacer::Release> releases = harness.engine.getPacer().getReleases();
    expectPaced(releaseTicks(releases, "127.0.0.1"), arrivalTicks(server, "127.0.0.1"), 5, 400,
                "127.0.0.1");
    expectPaced(releaseTicks(releases, "localhost"), arrivalTicks(server, "localhost"), 2, 400,
                "localhost");
    std::vector<std::string> order;
    for (const auto& release : releases)
        order.push_back(release.host == "localhost" ? "B" : "A");
    ASSERT_EQ(order.size(), 7u);
    EXPECT_EQ(std::count(order.begin(), order.begin() + 4, "B"), 2)
        << "the second host waited behind the first";
}

// A host that never answers holds its connections, not the workers: with more requests
// waiting on it than there are workers, another host's requests are sent and end meanwhile.
// With pacing per host only one of them is on the wire to the silent host at a time.
TEST(clsQuillaraEngine, SilentHostHoldsUpNoOtherHost)
{
    testsupport::TempHome home;
    TestHttpServer server;
    struct Case {
        clsPaceMode mode;
        int intervalMs;
        std::size_t silentReleases; // releases to the silent host while the other's requests ran
    };
    const Case cases[] = {{clsPaceMode::perHost, 150, 1}, {clsPaceMode::programWide, 0, 0}};
    std::string port = std::to_string(server.port());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.intervalMs);
        clsEngineOptions options = optionsWithReceiveTimeout(60000);
        options.paceMode = c.mode;
        options.paceIntervalMs = c.intervalMs;
        EngineHarness harness(options);
        harness.engine.getPacer().recordReleases(true);
        std::vector<int> silent;
        for (int i = 0; i < 6; ++i)
            silent.push_back(harness
                                 .request(clsRequestMode::read, "http://127.0.0.1:" + port +
                                                                    "/hang?c=" + std::to_string(i))
                                 ->getId());
        ASSERT_TRUE(harness.waitUntil([&] { return server.arrivalCount("/hang") >= 1; }));
        std::vector<int> others;
        for (int i = 0; i < 5; ++i)
            others.push_back(
                harness
                    .request(clsRequestMode::read,
                             "http://localhost:" + port + "/text?size=" + std::to_string(i + 1))
                    ->getId());
        // Far below the silent host's time-out: these end only if nothing waits for it.
        ASSERT_TRUE(harness.waitForEnd(others, 30000)) << harness.unended();
        for (int id : silent)
            EXPECT_EQ(harness.countNotices(id, clsNodePhase::complete), 0)
                << "the silent host's requests are still waiting";
        std::size_t toSilent = 0;
        for (const clsSendPacer::Release& release : harness.engine.getPacer().getReleases())
            toSilent += release.host == "127.0.0.1" ? 1 : 0;
        EXPECT_EQ(toSilent, c.silentReleases);
        if (c.silentReleases != 0) {
            EXPECT_EQ(server.arrivalCount("/hang"), 1u)
                << "one connection to a paced host at a time";
        }
    }
}

// One server is one host however its name is written: a Japanese name in Shift_JIS, escaped
// UTF-8 or IDNA, any name in any case. Its spellings share one pacing lane and one count of
// connections.
TEST(clsQuillaraEngine, SpellingsOfOneHostSharePacingAndConnections)
{
    const std::pair<std::string, std::string> keys[] = {
        {platform::utf8ToSjis("日本語.jp"), "xn--wgv71a119e.jp"},
        {"%E6%97%A5%E6%9C%AC%E8%AA%9E.jp", "xn--wgv71a119e.jp"},
        {"XN--WGV71A119E.JP", "xn--wgv71a119e.jp"},
        {"Example.COM", "example.com"},
        {"\x81\x41x.jp", "\x81\x41x.jp"}, // IDNA refuses it: its second byte 'A' stays
    };
    for (const auto& [host, key] : keys)
        EXPECT_EQ(hostKey(host), key) << host;

    testsupport::TempHome home;
    TestHttpServer server;
    std::string port = std::to_string(server.port());
    clsEngineOptions options = optionsWithReceiveTimeout(60000);
    options.paceMode = clsPaceMode::perHost;
    options.paceIntervalMs = 300;
    {
        EngineHarness harness(options);
        harness.engine.getPacer().recordReleases(true);
        std::vector<int> ids;
        for (const char* host : {"localhost", "LOCALHOST", "LocalHost", "localhost"})
            ids.push_back(harness
                              .request(clsRequestMode::read,
                                       std::string("http://") + host + ":" + port +
                                           "/text?size=" + std::to_string(ids.size() + 1))
                              ->getId());
        ASSERT_TRUE(harness.waitForEnd(ids)) << harness.unended();
        expectPaced(releaseTicks(harness.engine.getPacer().getReleases(), "localhost"),
                    arrivalTicks(server), 4, 300, "one lane");
    }
    // A request that hangs holds the host's one connection for every spelling: the other
    // spelling waits, while another host is served.
    EngineHarness harness(options);
    harness.engine.getPacer().recordReleases(true);
    harness.request(clsRequestMode::read, "http://localhost:" + port + "/hang");
    harness.request(clsRequestMode::read, "http://LOCALHOST:" + port + "/hang?c=1");
    ASSERT_TRUE(harness.waitUntil([&] { return server.arrivalCount("/hang") >= 1; }));
    int other =
        harness.request(clsRequestMode::read, "http://127.0.0.1:" + port + "/text?size=5")->getId();
    ASSERT_TRUE(harness.waitForEnd(other)) << harness.unended();
    EXPECT_EQ(server.arrivalCount("/hang"), 1u) << "two connections to one host";
}

} // namespace
