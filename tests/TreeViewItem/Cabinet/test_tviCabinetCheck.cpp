#include "TreeViewItem/Cabinet/tviCabinetCheck.h"

#include "CliCheckReport.h"
#include "TestHttpServer.h"
#include "TestSupport.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <gtest/gtest.h>

#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Http/clsUrlInformation.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Base/tviURLItem.h"

#include <chrono>
#include <cstdlib>
#include <map>
#include <random>
#include <sys/wait.h>

namespace {

clsEngineOptions quickOptions()
{
    clsEngineOptions options;
    options.connectTimeoutMs = 1000;
    options.receiveTimeoutMs = 1000;
    options.paceIntervalMs = 0;
    options.retryUnitMs = 5;
    return options;
}

std::string writeCabinet(const testsupport::TempHome& home,
                         const testsupport::TestHttpServer& server,
                         const std::vector<std::pair<std::string, std::string>>& items)
{
    tviCabinetDocument doc;
    doc.name = "check";
    tviCabinetEntry folder;
    folder.type = 3;
    folder.name = "sub";
    doc.entries.push_back(folder);
    for (const auto& [name, path] : items) {
        tviCabinetEntry e;
        e.type = 4;
        e.parent = name == "top" ? -1 : 0;
        e.name = name;
        e.url = server.url(path);
        e.status = name == "live" ? 5 : 0; // a stale failure that the check clears
        doc.entries.push_back(e);
    }
    std::string path = home.dir() + "check.scb";
    testsupport::writeFile(path, tviCabinetFile::write(doc));
    return path;
}

using testsupport::runCli;

// The check as it was: every item asks the engine itself, and every pump looks at every item.
// Returns the results as the check collects them, one line per item, and saves the cabinet.
std::vector<std::string> checkOneRequestPerItem(const std::string& path)
{
    platform::QueueMessageTarget window;
    clsQuillaraEngine engine;
    ctrlMemoryTreeView tree;
    window.setHandler([&](const platform::Message& m) { engine.handleMessage(m); });
    EXPECT_TRUE(engine.init(&tree, &window, quickOptions()));
    tree.setEngine(&engine);
    auto* cabinet = static_cast<tviCabinet*>(tree.adopt(std::make_unique<tviCabinet>(&tree)));
    cabinet->setPath(path);
    cabinet->insertItem(kTreeRoot, kTreeLast);
    cabinet->load();
    std::vector<tviCabinetItem*> items;
    for (TreeNode n : tree.subtreeNodes(cabinet->getHandle())) {
        if (tviTreeViewItem* item = tree.getItem(n);
            item != nullptr && item->getType() == typeCabinetItem) {
            items.push_back(static_cast<tviCabinetItem*>(item));
        }
    }
    tree.makeSubItems = false;
    for (tviCabinetItem* item : items) {
        item->tviURLItem::setStatus(clsRequestStatus::registered);
        tree.request(item, clsRequestMode::read);
    }
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < giveUp) {
        size_t done = 0;
        for (tviCabinetItem* item : items) {
            done +=
                item->getRequest() != nullptr && (item->getStatus() == clsRequestStatus::complete ||
                                                  item->getStatus() == clsRequestStatus::failed)
                    ? 1
                    : 0;
        }
        if (done == items.size()) {
            break;
        }
        window.pump(50);
    }
    std::vector<std::string> lines;
    for (tviCabinetItem* item : items) {
        std::string path;
        for (tviTreeViewItem* p = item->parentItem();
             p != nullptr && p->getType() == typeCabinetFolder; p = p->parentItem()) {
            path = path.empty() ? p->getText() : p->getText() + "/" + path;
        }
        clsUrlInformation* owner =
            item->getRequest() != nullptr ? item->getRequest()->getOwner() : nullptr;
        std::string text;
        bool isError = false;
        item->getStatusText(text, isError);
        lines.push_back(path + "|" + item->getText() + "|" + item->getUrl() + "|" +
                        std::to_string(static_cast<int>(item->getStatus())) + "|" +
                        std::to_string(owner != nullptr ? owner->getResultCode() : 0) + "|" + text);
    }
    EXPECT_TRUE(cabinet->save());
    engine.term();
    window.setHandler([](const platform::Message& m) { clsQuillaraEngine::DiscardMessage(m); });
    while (window.pump(0) > 0) {
    }
    tree.setEngine(nullptr);
    return lines;
}

} // namespace

// Items that share an address share one request; on random cabinets of local pages, missing
// files and loopback addresses, many of them repeated, the results and the saved cabinet are
// those of one request per item.
TEST(tviCabinetCheck, SharedAddressesGiveWhatOneRequestPerItemGave)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer server(120);
    std::vector<std::string> pool;
    for (int i = 0; i < 6; ++i) {
        std::string file = home.dir() + "page" + std::to_string(i) + ".html";
        testsupport::writeFile(file, "<title>T" + std::to_string(i) +
                                         "</title><meta name=keywords content=\"k" +
                                         std::to_string(i) + "\"><a href=x.html>x</a>");
        pool.push_back(i % 2 == 0 ? file : "file://" + file);
    }
    pool.push_back(home.dir() + "missing.html");
    for (const char* p :
         {"/page", "/status/404", "/status/500", "/redirect?n=1", "/text?size=300"}) {
        pool.push_back(server.url(p));
    }
    for (unsigned seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        tviCabinetDocument doc;
        doc.name = "shared";
        doc.productMark = true;
        for (int i = 0; i < 120; ++i) {
            if (rng() % 10 == 0) {
                tviCabinetEntry folder;
                folder.type = 3;
                folder.name = "f" + std::to_string(i);
                doc.entries.push_back(folder);
                continue;
            }
            tviCabinetEntry e;
            e.type = 4;
            e.parent = doc.entries.empty() || rng() % 2 == 0
                           ? -1
                           : static_cast<int>(rng() % doc.entries.size());
            if (e.parent >= 0 && doc.entries[static_cast<size_t>(e.parent)].type != 3) {
                e.parent = doc.entries[static_cast<size_t>(e.parent)].parent;
            }
            e.name = "i" + std::to_string(i);
            e.url = pool[rng() % pool.size()];
            e.status = rng() % 3 == 0 ? 5 : 0;
            doc.entries.push_back(e);
        }
        std::string before = tviCabinetFile::write(doc);
        std::string oldPath = home.dir() + "old.scb";
        std::string newPath = home.dir() + "new.scb";
        testsupport::writeFile(oldPath, before);
        testsupport::writeFile(newPath, before);
        std::vector<std::string> expected = checkOneRequestPerItem(oldPath);

        tviCabinetCheck check(quickOptions());
        ASSERT_TRUE(check.open(newPath));
        ASSERT_TRUE(check.run(60000));
        std::vector<std::string> got;
        for (const tviCheckResult& r : check.results()) {
            got.push_back(r.path + "|" + r.name + "|" + r.url + "|" +
                          std::to_string(static_cast<int>(r.status)) + "|" +
                          std::to_string(r.result) + "|" + r.statusText);
        }
        ASSERT_TRUE(check.save());
        EXPECT_EQ(expected, got);
        EXPECT_EQ(testsupport::readFile(oldPath), testsupport::readFile(newPath));
        // Both kinds of outcome are there, and the titles of the pages that were read.
        EXPECT_LT(0u, check.failedCount());
        EXPECT_LT(check.failedCount(), check.results().size());
        EXPECT_NE(std::string::npos, testsupport::readFile(newPath).find("title=\"T"));
    }
}

TEST(tviCabinetCheck, FindsDeadAndHangingAddressesAndFollowsRedirects)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer server(60);
    std::string path = writeCabinet(home, server,
                                    {{"live", "/page"},
                                     {"gone", "/status/404"},
                                     {"removed", "/status/410"},
                                     {"broken", "/status/500"},
                                     {"moved", "/redirect?n=2"},
                                     {"hangs", "/hang"},
                                     {"top", "/relative/start"}});
    tviCabinetCheck check(quickOptions());
    ASSERT_TRUE(check.open(path)) << check.loadError();
    size_t lastDone = 0;
    ASSERT_TRUE(check.run(30000, [&](size_t done, size_t total) {
        EXPECT_LE(done, total);
        lastDone = done;
    }));
    EXPECT_EQ(7u, lastDone);
    std::map<std::string, tviCheckResult> byName;
    for (const tviCheckResult& r : check.results()) {
        byName[r.name] = r;
    }
    struct Expected {
        std::string name;
        int status;
        int result;
        std::string path;
    } expected[] = {
        {"live", 4, 0, "sub"},     {"gone", 5, 404, "sub"}, {"removed", 5, 410, "sub"},
        {"broken", 5, 500, "sub"}, {"moved", 4, 0, "sub"},  {"hangs", 5, -1, "sub"},
        {"top", 4, 0, ""},
    };
    for (const Expected& e : expected) {
        ASSERT_EQ(1u, byName.count(e.name)) << e.name;
        EXPECT_EQ(e.status, static_cast<int>(byName[e.name].status)) << e.name;
        EXPECT_EQ(e.result, byName[e.name].result) << e.name;
        EXPECT_EQ(e.path, byName[e.name].path) << e.name;
    }
    EXPECT_EQ(4u, check.failedCount());
    // 404 gives the text of a page that is gone, with the status behind the full-width bracket.
    EXPECT_EQ(0u, byName["gone"].statusText.find(
                      "\x83\x7a\x81\x5b\x83\x80\x83\x79\x81\x5b\x83\x57\x82\xcd"));
    EXPECT_EQ(')', byName["gone"].statusText.back());

    ASSERT_TRUE(check.save());
    tviCabinetDocument doc;
    std::string error;
    ASSERT_TRUE(tviCabinetFile::read(testsupport::readFile(path), doc, error)) << error;
    std::map<std::string, int> stored;
    for (const tviCabinetEntry& e : doc.entries) {
        stored[e.name] = e.status;
    }
    EXPECT_EQ(0, stored["live"]);
    EXPECT_EQ(5, stored["gone"]);
    EXPECT_EQ(5, stored["hangs"]);
    EXPECT_EQ(0, stored["moved"]);
}

// A failure carries no page data: items whose page answers 404 or breaks off after its head
// had been analysed keep the title and keywords they had, in the tree and in the saved
// cabinet; a page that loads brings its own.
TEST(tviCabinetCheck, FailedLoadKeepsTheLastKnownPageData)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer server(60);
    server.setFile("kw.html", "text/html",
                   "<html><head><title>New title</title><meta name=\"keywords\" "
                   "content=\"fresh\"></head></html>");
    tviCabinetDocument doc;
    doc.name = "kept";
    for (const auto& [name, address] :
         std::vector<std::pair<std::string, std::string>>{{"gone", "/status/404"},
                                                          {"cut", "/reset?title=Partial"},
                                                          {"fresh", "/site/kw.html"}}) {
        tviCabinetEntry e;
        e.name = name;
        e.url = server.url(address);
        e.title = "Old";
        e.keyword = "old words";
        doc.entries.push_back(e);
    }
    std::string path = home.dir() + "kept.scb";
    testsupport::writeFile(path, tviCabinetFile::write(doc));
    tviCabinetCheck check(quickOptions());
    ASSERT_TRUE(check.open(path)) << check.loadError();
    ASSERT_TRUE(check.run(30000));
    ASSERT_TRUE(check.save());
    tviCabinetDocument saved;
    std::string error;
    ASSERT_TRUE(tviCabinetFile::read(testsupport::readFile(path), saved, error)) << error;
    struct Expected {
        const char* name;
        int status;
        const char* title;
        const char* keyword;
    } expected[] = {{"gone", 5, "Old", "old words"},
                    {"cut", 5, "Old", "old words"},
                    {"fresh", 0, "New title", "fresh"}};
    ASSERT_EQ(saved.entries.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const tviCabinetEntry& e = saved.entries[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.name, expected[i].name);
        EXPECT_EQ(e.status, expected[i].status);
        EXPECT_EQ(e.title, expected[i].title);
        EXPECT_EQ(e.keyword, expected[i].keyword);
    }
}

TEST(tviCabinetCheck, CommandLineExitCodesAndJson)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer server(60);
    std::string path = writeCabinet(home, server, {{"live", "/page"}, {"gone", "/status/404"}});
    std::string out;
    EXPECT_EQ(1, runCli("check --json --save --timeout 30 " + path, out));
    EXPECT_NE(std::string::npos, out.find("\"result\":404")) << out;
    EXPECT_EQ(std::string::npos, out.find("\"name\":\"live\"")) << out;
    out.clear();
    EXPECT_EQ(0, runCli("tree " + path, out));
    EXPECT_NE(std::string::npos, out.find("\xe5\x89\x8d\xe5\x9b\x9e")) << out; // 前回 (UTF-8)
    out.clear();
    EXPECT_EQ(2, runCli("check " + home.dir() + "missing.scb", out));
    EXPECT_EQ(2, runCli("check --timeout 0 " + path, out));
    std::string live = writeCabinet(home, server, {{"live", "/page"}});
    EXPECT_EQ(0, runCli("check " + live, out));
}

// The command keeps what it loads in the page cache, so that checking an unchanged cabinet
// again asks with each page's validators and receives 304s; --no-cache asks unconditionally.
TEST(tviCabinetCheck, CommandLineReChecksThroughThePageCache)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer server(120);
    std::string path = writeCabinet(
        home, server, {{"top", "/etag?key=a&size=20000"}, {"inner", "/etag?key=b&size=20000"}});
    struct Case {
        const char* options;
        size_t conditional; // requests that carried If-None-Match or If-Modified-Since
    } cases[] = {
        {"", 0},           // nothing kept yet
        {"", 2},           // both kept by the first check
        {"--no-cache", 0}, // the cache is not asked
        {"", 2},           // and is still there afterwards
    };
    for (const Case& c : cases) {
        server.clearArrivals();
        std::string out;
        EXPECT_EQ(0, runCli(std::string("check --timeout 60 ") + c.options + " " + path, out))
            << out;
        size_t requests = 0;
        size_t conditional = 0;
        for (const auto& arrival : server.arrivals()) {
            requests += arrival.path == "/etag" ? 1 : 0;
            conditional += !arrival.ifNoneMatch.empty() || !arrival.ifModifiedSince.empty() ? 1 : 0;
        }
        EXPECT_EQ(2u, requests) << c.options;
        EXPECT_EQ(c.conditional, conditional) << c.options;
    }
}

namespace {

// Runs a shell command line; its exit status, or -1 when it did not exit by itself.
int runShell(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readBack(const std::string& path)
{
    return testsupport::readFile(path);
}

} // namespace

// Retries, moves and redirect loops reach the results, the summary and every report format:
// the JUnit report passes the JUnit schema, the Markdown report is a table.
TEST(tviCabinetCheck, ReportsRetriesMovesAndLoopsInEveryFormat)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer server(60);
    std::string path = writeCabinet(home, server,
                                    {{"live", "/page"},
                                     {"gone", "/status/404"},
                                     {"permanent", "/moved?n=2&code=301"},
                                     {"temporary", "/moved?n=2&code=302"},
                                     {"flaky", "/flaky?key=report"},
                                     {"loop", "/self"},
                                     {"busy", "/status/429?after=3600"}});
    tviCabinetCheck check(quickOptions());
    ASSERT_TRUE(check.open(path)) << check.loadError();
    ASSERT_TRUE(check.run(30000));
    std::map<std::string, tviCheckResult> byName;
    for (const tviCheckResult& r : check.results()) {
        byName[r.name] = r;
    }
    EXPECT_EQ(server.url("/moved?n=0&code=301"), byName["permanent"].movedTo);
    EXPECT_EQ("", byName["temporary"].movedTo);
    EXPECT_EQ(2, byName["flaky"].attempts);
    EXPECT_EQ(clsRequestStatus::complete, byName["flaky"].status);
    EXPECT_EQ(3600, byName["busy"].retryAfter);
    EXPECT_EQ(1u, check.movedCount());
    EXPECT_EQ(1u, check.retriedCount());
    // リダイレクトがループしています, with the 3xx code kept as the result.
    EXPECT_EQ(
        "\x83\x8A\x83_\x83"
        "C\x83\x8C\x83N\x83g\x82\xAA\x83\x8B\x81[\x83v\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7",
        byName["loop"].statusText);
    EXPECT_EQ(301, byName["loop"].result);
    // （試行2回） after the loaded text; （3600秒後の再試行を求められました） after the error.
    EXPECT_NE(std::string::npos, byName["flaky"].statusText.find("\x81i\x8E\x8E\x8Ds"
                                                                 "2\x89\xF1\x81j"));
    EXPECT_NE(std::string::npos, byName["busy"].statusText.find("\x81i"
                                                                "3600\x95"
                                                                "b"));

    CliCheckReport report(check, "check.scb", 1.25);
    std::string summary = report.summaryLine();
    EXPECT_EQ("7 items checked: 4 loaded, 3 failed (1 gone: 404 or 410), 0 not checked, 1 moved, 1 "
              "retried, 1.2 s",
              summary);

    std::string junit = home.dir() + "report.xml";
    testsupport::writeFile(junit, report.junit());
    std::string schema = std::string(QUILLARA_TEST_DATA) + "/junit/junit-subset.xsd";
    EXPECT_EQ(0, runShell("xmllint --noout --schema " + schema + " " + junit + " 2>/dev/null"))
        << readBack(junit);
    std::string xml = readBack(junit);
    EXPECT_NE(std::string::npos, xml.find("<failure message=\"")) << xml;
    EXPECT_NE(std::string::npos, xml.find("type=\"result 404\"")) << xml;

    std::string markdown = report.markdown();
    EXPECT_NE(std::string::npos,
              markdown.find("| Result | Item | Address | Status |\n|---|---|---|---|\n"))
        << markdown;
    EXPECT_NE(std::string::npos,
              markdown.find("| failed 404 | sub/gone | `" + server.url("/status/404") + "` |"))
        << markdown;
    EXPECT_NE(std::string::npos, markdown.find("| moved | sub/permanent | `")) << markdown;
    EXPECT_EQ(std::string::npos, markdown.find("sub/temporary")) << markdown;
    size_t rows = 0;
    for (size_t at = markdown.find("\n| "); at != std::string::npos;
         at = markdown.find("\n| ", at + 1)) {
        ++rows;
    }
    EXPECT_EQ(5u, rows) << "header, 3 failed, 1 moved\n" << markdown;

    std::string json = report.json();
    EXPECT_NE(std::string::npos,
              json.find("\"moved_to\":\"" + server.url("/moved?n=0&code=301") + "\""))
        << json;
    EXPECT_NE(std::string::npos, json.find("\"retry_after\":3600")) << json;
}

// Addresses that nothing fetches (mailto:, news:, javascript:) are not checked: every report
// shows them apart ("未確認", JUnit skipped), they count neither as loaded nor as failed, keep
// their page data, and alone they do not make the command line report a failure. A dead FTP
// address is tried and fails like a dead HTTP one.
TEST(tviCabinetCheck, ReportsAddressesNobodyFetchesAsNotChecked)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer server(60);
    tviCabinetDocument doc;
    doc.name = "schemes";
    for (const auto& [name, address] :
         std::vector<std::pair<std::string, std::string>>{{"live", server.url("/page")},
                                                          {"mail", "mailto:someone@example.jp"},
                                                          {"news", "news:comp.lang.c"},
                                                          {"script", "javascript:void(0)"}}) {
        tviCabinetEntry e;
        e.name = name;
        e.url = address;
        e.title = "Old";
        e.keyword = "old words";
        doc.entries.push_back(e);
    }
    std::string path = home.dir() + "schemes.scb";
    testsupport::writeFile(path, tviCabinetFile::write(doc));
    tviCabinetCheck check(quickOptions());
    ASSERT_TRUE(check.open(path)) << check.loadError();
    ASSERT_TRUE(check.run(30000));
    EXPECT_EQ(3u, check.uncheckedCount());
    EXPECT_EQ(1u, check.loadedCount());
    EXPECT_EQ(0u, check.failedCount());
    for (const tviCheckResult& r : check.results()) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.name == "live" ? clsRequestStatus::complete : clsRequestStatus::unchecked,
                  r.status);
        if (r.name != "live") {
            EXPECT_EQ("\x96\xa2\x8a\x6d\x94\x46", r.statusText); // 未確認
        }
    }
    tviTreeViewItem* mail = nullptr;
    for (TreeNode n : check.tree().subtreeNodes(check.cabinet()->getHandle())) {
        if (check.tree().getItem(n)->getText() == "mail") {
            mail = check.tree().getItem(n);
        }
    }
    ASSERT_NE(nullptr, mail);
    EXPECT_EQ("old words", static_cast<tviURLItem*>(mail)->getKeywords());

    CliCheckReport report(check, "schemes.scb", 0.5);
    EXPECT_EQ("4 items checked: 1 loaded, 0 failed (0 gone: 404 or 410), 3 not checked, 0 moved, 0 "
              "retried, 0.5 s",
              report.summaryLine());
    std::string text = report.text();
    EXPECT_NE(
        std::string::npos,
        text.find(
            "mail  <mailto:someone@example.jp>  not checked  \xe6\x9c\xaa\xe7\xa2\xba\xe8\xaa\x8d"))
        << text;
    std::string markdown = report.markdown();
    EXPECT_NE(std::string::npos, markdown.find("| not checked | news | `news:comp.lang.c` |"))
        << markdown;
    std::string json = report.json();
    EXPECT_NE(std::string::npos, json.find("\"url\":\"javascript:void(0)\",\"status\":6")) << json;
    EXPECT_EQ(std::string::npos, json.find("\"name\":\"live\"")) << json;
    std::string junit = home.dir() + "report.xml";
    testsupport::writeFile(junit, report.junit());
    std::string schema = std::string(QUILLARA_TEST_DATA) + "/junit/junit-subset.xsd";
    EXPECT_EQ(0, runShell("xmllint --noout --schema " + schema + " " + junit + " 2>/dev/null"))
        << readBack(junit);
    std::string xml = readBack(junit);
    EXPECT_NE(std::string::npos, xml.find("skipped=\"3\"")) << xml;
    EXPECT_NE(std::string::npos,
              xml.find("<skipped message=\"\xe6\x9c\xaa\xe7\xa2\xba\xe8\xaa\x8d\""))
        << xml;
    EXPECT_EQ(std::string::npos, xml.find("<failure")) << xml;

    std::string out;
    EXPECT_EQ(0, runCli("check " + path, out)) << out;
    EXPECT_NE(std::string::npos, out.find("3 not checked")) << out;
    // A dead FTP address is a failure.
    tviCabinetDocument dead;
    dead.name = "dead";
    tviCabinetEntry e;
    e.name = "ftp";
    e.url = "ftp://127.0.0.1:1/x.html";
    dead.entries.push_back(e);
    std::string deadPath = home.dir() + "dead.scb";
    testsupport::writeFile(deadPath, tviCabinetFile::write(dead));
    out.clear();
    EXPECT_EQ(1, runCli("check --timeout 30 " + deadPath, out)) << out;
    EXPECT_NE(std::string::npos, out.find("0 loaded, 1 failed")) << out;
}

// --update-moved writes only permanent moves, atomically: a save killed half-way leaves the
// old file, and a check without it leaves the cabinet as it was.
TEST(tviCabinetCheck, UpdateMovedWritesOnlyPermanentMoves)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer server(60);
    std::string path = writeCabinet(home, server,
                                    {{"permanent", "/moved?n=1&code=308"},
                                     {"temporary", "/moved?n=1&code=302"},
                                     {"live", "/page"}});
    std::string before = readBack(path);
    {
        tviCabinetCheck check(quickOptions());
        ASSERT_TRUE(check.open(path));
        ASSERT_TRUE(check.run(30000));
    }
    EXPECT_EQ(before, readBack(path)) << "a check alone changes nothing";

    tviCabinetCheck check(quickOptions());
    ASSERT_TRUE(check.open(path));
    ASSERT_TRUE(check.run(30000));
    std::vector<std::pair<std::string, std::string>> changes;
    ASSERT_TRUE(check.updateMoved(changes, false));
    ASSERT_EQ(1u, changes.size());
    EXPECT_EQ(server.url("/moved?n=1&code=308"), changes[0].first);
    EXPECT_EQ(server.url("/moved?n=0&code=308"), changes[0].second);
    tviCabinetDocument doc;
    std::string error;
    ASSERT_TRUE(tviCabinetFile::read(readBack(path), doc, error)) << error;
    std::map<std::string, tviCabinetEntry> stored;
    for (const tviCabinetEntry& e : doc.entries) {
        stored[e.name] = e;
    }
    EXPECT_EQ(server.url("/moved?n=0&code=308"), stored["permanent"].url);
    EXPECT_EQ(server.url("/moved?n=1&code=302"), stored["temporary"].url);
    EXPECT_EQ(5, stored["live"].status) << "without --save the statuses stay as they were";

    // A cabinet larger than the file size limit: writing it kills the program (SIGXFSZ).
    tviCabinetDocument large;
    large.name = "big";
    tviCabinetEntry entry;
    entry.name = "permanent";
    entry.url = server.url("/moved?n=1&code=301");
    entry.description = std::string(64 * 1024, 'd');
    large.entries.push_back(entry);
    std::string big = home.dir() + "big.scb";
    testsupport::writeFile(big, tviCabinetFile::write(large));
    std::string old = readBack(big);
    std::string out;
    int status = runShell("ulimit -f 32; exec " + std::string(QUILLARA_CLI) +
                          " check --update-moved --timeout 30 " + big + " >/dev/null 2>&1");
    EXPECT_NE(0, status);
    EXPECT_EQ(old, readBack(big)) << "the killed save left the old file whole";
    EXPECT_EQ(0, runCli("check --update-moved --format junit --output " + home.dir() +
                            "cli.xml --timeout 30 " + big,
                        out));
    EXPECT_NE(std::string::npos, out.find("1 moved")) << out;
    EXPECT_EQ(0, runShell("xmllint --noout --schema " + std::string(QUILLARA_TEST_DATA) +
                          "/junit/junit-subset.xsd " + home.dir() + "cli.xml 2>/dev/null"));
    ASSERT_TRUE(tviCabinetFile::read(readBack(big), large, error));
    EXPECT_EQ(server.url("/moved?n=0&code=301"), large.entries.back().url);
}
