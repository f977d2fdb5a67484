// Snapshots through the engine against the loopback server: frames, images, style sheets,
// one name per address, failures that are removed (their address kept aside), cancel and stop, and the
// one completion every snapshot ends with.
#include "EngineHarness.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "Engine/Snapshot/clsQuillaraSnapshot.h"
#include "Engine/Http/clsSendPacer.h"
#include "Engine/Snapshot/clsSnapshotReport.h"
#include "Platform/platformText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <new>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::EngineHarness;
using testsupport::readFile;
using testsupport::TempHome;
using testsupport::TestHttpServer;

namespace {

class SnapshotHarness : public EngineHarness {
public:
    using EngineHarness::EngineHarness;

    void onSnapshotNotify(int id, const clsSnapshotReport& report, clsSnapshotPhase phase) override
    {
        if (phase == clsSnapshotPhase::saved)
            ++saved[id];
        if (phase == clsSnapshotPhase::ended) {
            ++completions[id];
            finals[id] = report;
        }
    }

    bool waitForSnapshot(int id, int giveUpMs = 60000)
    {
        return waitUntil([&] { return completions.count(id) != 0; }, giveUpMs);
    }

    std::map<int, int> saved;
    std::map<int, int> completions;
    std::map<int, clsSnapshotReport> finals;
};

// Every reference in a saved page or style sheet that is not an absolute address must name a
// file of the folder.
void expectOnlySavedFiles(const fs::path& folder)
{
    static const std::regex reference(
        R"((?:src|href|background|srcset)\s*=\s*["']?([^"'\s>]+)|url\(\s*["']?([^"')]+))",
        std::regex::icase);
    for (const auto& file : fs::directory_iterator(folder)) {
        std::string name = file.path().filename().string();
        if (!name.ends_with(".html") && !name.ends_with(".htm") && !name.ends_with(".css"))
            continue;
        std::string text = readFile(file.path());
        for (std::sregex_iterator it(text.begin(), text.end(), reference), end; it != end; ++it) {
            std::string value = (*it)[1].matched ? (*it)[1].str() : (*it)[2].str();
            value = value.substr(0, value.find('#'));
            if (value.empty() || value.find("://") != std::string::npos ||
                value.starts_with("data:"))
                continue;
            EXPECT_TRUE(fs::exists(folder / value)) << name << " refers to missing " << value;
        }
    }
}

void expectNoTemporaryFiles(const fs::path& folder)
{
    for (const auto& file : fs::recursive_directory_iterator(folder)) {
        EXPECT_FALSE(file.path().filename().string().starts_with(".part")) << file.path();
        EXPECT_FALSE(file.path().filename().string().starts_with(".src")) << file.path();
    }
}

const char* const topPage =
    "<html><head><title>Top</title><base href=\"http://127.0.0.1:PORT/site/\">"
    "<link href=\"css/main.css\" rel=\"stylesheet\"><link rel=icon href=\"favicon.ico\">"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=euc-jp\"></head>"
    "<frameset><frame src=\"left.html\"><frame src=\"self.html\"></frameset>"
    "<body background=\"img/bg.gif\"><basefont size=3><abbr title=x>A</abbr>"
    "<img src=\"img/a.gif\"><img src=\"./img/a.gif\"><img src=\"IMG/../img/%61.gif\">"
    "<img src=\"http://127.0.0.1:PORT/site/img/a.gif#x\">"
    "<img src=\"img/b.gif\" srcset=\"img/b2.gif 2x, img/b3.gif 3x\"><img data-src=\"img/lazy.gif\" "
    "src=\"ph.gif\">"
    "<img src=\"img/missing.gif\"><img src=\"file:///etc/passwd\"><img "
    "src=\"img/..%2f..%2fsnapshot\">"
    "<img src=\"img/List\"><a href=\"other.html\">other</a></body></html>";

void serveSite(TestHttpServer& server)
{
    std::string port = std::to_string(server.port());
    std::string page = std::regex_replace(std::string(topPage), std::regex("PORT"), port);
    server.setFile("top.html", "text/html; charset=euc-jp", page);
    server.setFile("left.html", "text/html",
                   "<html><body><frame src=\"top.html\"><img src=\"img/a.gif\"></body></html>");
    // A page that frames itself and the top page.
    server.setFile("self.html", "text/html",
                   "<frameset><frame src=\"self.html\"><frame src=\"top.html\"></frameset>");
    server.setFile("css/main.css", "text/css",
                   "@import \"more.css\";\nbody{background:url(../img/css-bg.png)}\n");
    server.setFile("css/more.css", "text/css", "p{background:url('../img/more.png')}");
    for (const char* name :
         {"img/a.gif", "img/bg.gif", "img/b.gif", "img/b2.gif", "img/b3.gif", "img/lazy.gif",
          "img/css-bg.png", "img/more.png", "favicon.ico", "img/List", "snapshot"})
        server.setFile(name, "image/gif", std::string("GIF89a-") + name);
}

TEST(Snapshot, SavesFramesImagesAndStyleSheetsOnceEachAndRefersOnlyToSavedFiles)
{
    TempHome home;
    TestHttpServer server;
    serveSite(server);
    SnapshotHarness harness;
    fs::path folder = home.path() / "snap";
    int id = -1;
    ASSERT_TRUE(harness.engine.startSnapshot(1, server.url("/site/top.html"), folder.string(), id));
    ASSERT_TRUE(harness.waitForSnapshot(id));
    const clsSnapshotReport& report = harness.finals[id];
    EXPECT_EQ(harness.completions[id], 1);
    EXPECT_TRUE(report.topSaved);
    EXPECT_EQ(report.topName, "top.html");
    EXPECT_GE(harness.saved[id], 1);
    // Each address once, whatever its spelling, and the two pages that frame each other once.
    for (const char* path :
         {"/site/img/a.gif", "/site/top.html", "/site/self.html", "/site/css/more.css"})
        EXPECT_EQ(server.arrivalCount(path), 1u) << path;
    EXPECT_EQ(server.arrivalCount("/site/ph.gif"), 0u);
    EXPECT_EQ(server.arrivalCount("/site/other.html"), 0u);

    std::string top = readFile(folder / "top.html");
    EXPECT_EQ(top.find("<base "), std::string::npos);
    EXPECT_NE(top.find("<basefont size=3>"), std::string::npos);
    EXPECT_NE(top.find("<abbr title=x>"), std::string::npos);
    EXPECT_NE(top.find("charset=shift_jis"), std::string::npos);
    EXPECT_NE(
        top.find("href=\"http://127.0.0.1:" + std::to_string(server.port()) + "/site/other.html\""),
        std::string::npos);
    // A failed entry is removed, its address kept for the reader; a file: reference in a network
    // page is not read.
    EXPECT_NE(top.find("data-quillara-src=\"http://127.0.0.1:" + std::to_string(server.port()) +
                       "/site/img/missing.gif\""),
              std::string::npos);
    EXPECT_NE(top.find("data-quillara-src=\"file:///etc/passwd\""), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "passwd"));
    int failed404 = 0;
    for (const clsSnapshotEntry& entry : report.entries)
        failed404 += entry.result == 404 ? 1 : 0;
    EXPECT_EQ(failed404, 2); // missing.gif and the escaped "../../snapshot"
    EXPECT_TRUE(fs::exists(folder / "lazy.gif"));
    EXPECT_TRUE(fs::exists(folder / "b3.gif"));
    EXPECT_TRUE(fs::exists(folder / "favicon.ico"));
    EXPECT_TRUE(fs::exists(folder / "css-bg.png"));
    EXPECT_TRUE(fs::exists(folder / "more.png"));
    // Names from the server never replace the snapshot's own record files.
    EXPECT_FALSE(fs::exists(folder / "snapshot"));
    EXPECT_FALSE(fs::exists(folder / "List"));
    for (const auto& file : fs::recursive_directory_iterator(home.path()))
        EXPECT_TRUE(file.path().string().starts_with(folder.string())) << file.path();
    expectOnlySavedFiles(folder);
    expectNoTemporaryFiles(folder);
}

TEST(Snapshot, EncodingsSavedAsShiftJisOrKeptAsUtf8)
{
    TempHome home;
    TestHttpServer server;
    // "日本語" in EUC-JP and in UTF-8.
    server.setFile(
        "euc.html", "text/html",
        "<html><head><meta http-equiv=Content-Type content=\"text/html; charset=EUC-JP\"></head>"
        "<body>\xC6\xFC\xCB\xDC\xB8\xEC</body></html>");
    server.setFile(
        "utf8.html", "text/html",
        "<html><head><meta charset=\"utf-8\"></head><body>\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E "
        "\xF0\x9F\x98\x80</body></html>");
    SnapshotHarness harness;
    int euc = -1;
    int utf8 = -1;
    ASSERT_TRUE(harness.engine.startSnapshot(1, server.url("/site/euc.html"),
                                             (home.path() / "e").string(), euc));
    ASSERT_TRUE(harness.engine.startSnapshot(1, server.url("/site/utf8.html"),
                                             (home.path() / "u").string(), utf8));
    ASSERT_TRUE(harness.waitForSnapshot(euc));
    ASSERT_TRUE(harness.waitForSnapshot(utf8));
    std::string sjis = readFile(home.path() / "e" / "euc.html");
    EXPECT_NE(sjis.find("\x93\xFA\x96\x7B\x8C\xEA"), std::string::npos);
    EXPECT_NE(sjis.find("charset=shift_jis"), std::string::npos);
    std::string kept = readFile(home.path() / "u" / "utf8.html");
    EXPECT_NE(kept.find("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xF0\x9F\x98\x80"),
              std::string::npos);
    EXPECT_NE(kept.find("charset=\"utf-8\""), std::string::npos);
}

TEST(Snapshot, FailuresEndTheEntryAndLeaveNoTemporaryFile)
{
    TempHome home;
    TestHttpServer server;
    std::string port = std::to_string(server.port());
    server.setFile(
        "bad.html", "text/html",
        "<img src=\"/reset\"><img src=\"/loop/a\"><img src=\"/status/500\"><img src=\"/big?mb=3\">"
        "<img src=\"/site/ok.gif\">");
    server.setFile("ok.gif", "image/gif", "GIF89a");
    SnapshotHarness harness;
    fs::path folder = home.path() / "bad";
    int id = -1;
    ASSERT_TRUE(harness.engine.startSnapshot(1, server.url("/site/bad.html"), folder.string(), id));
    ASSERT_TRUE(harness.waitForSnapshot(id));
    const clsSnapshotReport& report = harness.finals[id];
    std::map<std::string, clsSnapshotEntry> byName;
    for (const clsSnapshotEntry& entry : report.entries)
        byName[entry.name] = entry;
    EXPECT_FALSE(byName["reset"].saved);
    EXPECT_FALSE(byName["a"].saved);
    EXPECT_EQ(byName["500"].result, 500);
    EXPECT_TRUE(byName["big"].saved);
    EXPECT_EQ(byName["big"].size, 3 * 1024 * 1024);
    EXPECT_TRUE(byName["ok.gif"].saved);
    EXPECT_EQ(report.failedCount, 3);
    EXPECT_FALSE(fs::exists(folder / "reset"));
    std::string page = readFile(folder / "bad.html");
    EXPECT_NE(page.find("src=\"http://127.0.0.1:" + port + "/reset\""), std::string::npos);
    expectNoTemporaryFiles(folder);
}

TEST(Snapshot, CancelStopAndEngineStopEachEndWithOneCompletion)
{
    TempHome home;
    TestHttpServer server;
    server.setFile("hang.html", "text/html", "<img src=\"/hang\"><img src=\"/site/late.gif\">");
    server.setFile("late.gif", "image/gif", "GIF89a");
    SnapshotHarness harness;
    int cancelled = -1;
    int stopped = -1;
    ASSERT_TRUE(harness.engine.startSnapshot(1, server.url("/site/hang.html"),
                                             (home.path() / "c").string(), cancelled));
    ASSERT_TRUE(harness.engine.startSnapshot(1, server.url("/site/hang.html"),
                                             (home.path() / "s").string(), stopped));
    ASSERT_TRUE(harness.waitUntil(
        [&] { return harness.saved[cancelled] >= 1 && harness.saved[stopped] >= 1; }));
    EXPECT_TRUE(harness.engine.cancelSnapshot(cancelled));
    EXPECT_TRUE(harness.engine.stopSnapshot(stopped));
    ASSERT_TRUE(harness.waitForSnapshot(cancelled));
    ASSERT_TRUE(harness.waitForSnapshot(stopped));
    EXPECT_TRUE(harness.finals[cancelled].cancelled);
    EXPECT_TRUE(harness.finals[stopped].stopped);
    EXPECT_TRUE(fs::exists(home.path() / "c" / "hang.html"));
    // Cancelled like stopped: the saved page names no file that was never fetched.
    expectOnlySavedFiles(home.path() / "c");
    expectOnlySavedFiles(home.path() / "s");
    expectNoTemporaryFiles(home.path());
    EXPECT_FALSE(harness.engine.cancelSnapshot(cancelled));

    // A stop of the engine while snapshots run and wait: each one still ends once.
    std::vector<int> ids(6);
    for (std::size_t i = 0; i < ids.size(); ++i)
        ASSERT_TRUE(harness.engine.startSnapshot(1, server.url("/site/hang.html"),
                                                 (home.path() / ("q" + std::to_string(i))).string(),
                                                 ids[i]));
    harness.engine.queueStop();
    for (int id : ids) {
        ASSERT_TRUE(harness.waitForSnapshot(id));
        EXPECT_EQ(harness.completions[id], 1);
    }
    EXPECT_EQ(harness.engine.getSnapshotCount(), 0u);
}

TEST(Snapshot, TopPageWithAFragmentIsReportedSaved)
{
    TempHome home;
    TestHttpServer server;
    server.setFile("frag.html", "text/html", "<html><body><a name=part>here</a></body></html>");
    SnapshotHarness harness;
    int id = -1;
    ASSERT_TRUE(harness.engine.startSnapshot(1, server.url("/site/frag.html#part"),
                                             (home.path() / "f").string(), id));
    ASSERT_TRUE(harness.waitForSnapshot(id));
    EXPECT_TRUE(harness.finals[id].topSaved);
    EXPECT_EQ(harness.finals[id].topName, "frag.html");
    EXPECT_EQ(harness.finals[id].topFile, (home.path() / "f" / "frag.html").string());
}

TEST(Snapshot, SizeLimitsFailTheFileAndKeepItsAddress)
{
    TempHome home;
    TestHttpServer server;
    server.setFile(
        "sized.html", "text/html",
        "<img src=\"/big?mb=1\"><img src=\"a.gif\"><img src=\"b.gif\"><img src=\"c.gif\">"
        "<img src=\"d.gif\"><img src=\"e.gif\">");
    const std::map<std::string, std::size_t> sizes = {
        {"a.gif", 60000}, {"b.gif", 150000}, {"c.gif", 80000}, {"d.gif", 80000}, {"e.gif", 80000}};
    for (const auto& [name, size] : sizes)
        server.setFile(name, "image/gif", std::string(size, 'x'));
    clsEngineOptions options = EngineHarness::quickOptions();
    options.snapshotFileLimitBytes = 100000;
    options.snapshotLimitBytes = 250000;
    SnapshotHarness harness(options);
    fs::path folder = home.path() / "l";
    int id = -1;
    ASSERT_TRUE(
        harness.engine.startSnapshot(1, server.url("/site/sized.html"), folder.string(), id));
    ASSERT_TRUE(harness.waitForSnapshot(id));
    std::map<std::string, clsSnapshotEntry> byName;
    for (const clsSnapshotEntry& entry : harness.finals[id].entries)
        byName[entry.name] = entry;
    // The 1 MB and b pass the file limit; a, c, d and e (300 KB) cannot all fit in 250 KB:
    // whichever arrive last (the workers fetch side by side) fail for the snapshot's limit.
    std::string page = readFile(folder / "sized.html");
    std::size_t savedBytes = page.size();
    int overTotal = 0;
    for (const char* name : {"big", "b.gif", "a.gif", "c.gif", "d.gif", "e.gif"}) {
        const clsSnapshotEntry& entry = byName[name];
        EXPECT_EQ(fs::exists(folder / name), entry.saved) << name;
        bool fileLimit = entry.error.find("SnapshotFileLimitMB") != std::string::npos;
        EXPECT_EQ(fileLimit, std::string(name) == "big" || std::string(name) == "b.gif")
            << name << " " << entry.error;
        overTotal += entry.error.find("SnapshotLimitMB") != std::string::npos ? 1 : 0;
        if (entry.saved) {
            savedBytes += static_cast<std::size_t>(fs::file_size(folder / name));
        } else {
            EXPECT_EQ(page.find("src=\"" + std::string(name) + "\""), std::string::npos) << name;
        }
    }
    EXPECT_GE(overTotal, 1);
    EXPECT_LE(savedBytes, 250000u);
    expectOnlySavedFiles(folder);
    expectNoTemporaryFiles(folder);
}

// A page whose saving throws, as memory running out on a huge page would.
class ThrowingSnapshot : public clsQuillaraSnapshot {
public:
    using clsQuillaraSnapshot::clsQuillaraSnapshot;

protected:
    bool savePage(const Entry&, const Fetched&, clsSnapshotEntry&) override
    {
        throw std::bad_alloc();
    }
};

TEST(Snapshot, AnExceptionFailsTheSnapshotAndNotTheProgram)
{
    TempHome home;
    TestHttpServer server;
    server.setFile("p.html", "text/html", "<img src=\"i.gif\">");
    server.setFile("i.gif", "image/gif", "GIF89a");
    SnapshotHarness harness;
    auto* throwing = new ThrowingSnapshot(&harness.engine);
    int id = -1;
    ASSERT_TRUE(throwing->setup(1, server.url("/site/p.html"), (home.path() / "x").string(), id));
    ASSERT_TRUE(harness.waitForSnapshot(id));
    EXPECT_EQ(harness.completions[id], 1);
    EXPECT_FALSE(harness.finals[id].topSaved);
    ASSERT_EQ(harness.finals[id].entries.size(), 1u);
    EXPECT_FALSE(harness.finals[id].entries[0].error.empty());
    // The workers go on: the next snapshot is taken.
    int next = -1;
    ASSERT_TRUE(harness.engine.startSnapshot(1, server.url("/site/p.html"),
                                             (home.path() / "y").string(), next));
    ASSERT_TRUE(harness.waitForSnapshot(next));
    EXPECT_TRUE(harness.finals[next].topSaved);
}

// Per-host pacing: a page whose images stand together by host gets them side by side, the
// second host's between the first host's, not after them (the record of release times says
// so, whatever the machine's load).
TEST(Snapshot, FetchesHostsSideBySideUnderPerHostPacing)
{
    TempHome home;
    TestHttpServer server;
    std::string port = std::to_string(server.port());
    std::string page;
    for (const char* host : {"127.0.0.1", "localhost"})
        for (int i = 0; i < 3; ++i)
            page += "<img src=\"http://" + std::string(host) + ":" + port + "/site/" + host +
                    std::to_string(i) + ".gif\">";
    server.setFile("hosts.html", "text/html", page);
    for (const char* host : {"127.0.0.1", "localhost"})
        for (int i = 0; i < 3; ++i)
            server.setFile(std::string(host) + std::to_string(i) + ".gif", "image/gif", "GIF89a");
    clsEngineOptions options = EngineHarness::quickOptions();
    options.paceIntervalMs = 300;
    options.paceMode = clsPaceMode::perHost;
    SnapshotHarness harness(options);
    harness.engine.getPacer().recordReleases(true);
    int id = -1;
    ASSERT_TRUE(harness.engine.startSnapshot(1, server.url("/site/hosts.html"),
                                             (home.path() / "h").string(), id));
    ASSERT_TRUE(harness.waitForSnapshot(id));
    EXPECT_EQ(harness.finals[id].savedCount, 7);
    std::vector<clsSendPacer::Release> releases = harness.engine.getPacer().getReleases();
    ASSERT_EQ(releases.size(), 7u);
    std::size_t firstB = releases.size();
    std::size_t lastA = 0;
    for (std::size_t i = 0; i < releases.size(); ++i) {
        if (releases[i].host == "localhost")
            firstB = std::min(firstB, i);
        else
            lastA = i;
    }
    EXPECT_LT(firstB, lastA) << "the second host waited behind the first";
    // Each host still paced: its releases at least the interval apart.
    for (const char* host : {"127.0.0.1", "localhost"}) {
        std::uint64_t previous = 0;
        bool first = true;
        for (const clsSendPacer::Release& release : releases) {
            if (release.host != host)
                continue;
            if (!first) {
                EXPECT_GE(release.tick - previous, 300u) << host;
            }
            previous = release.tick;
            first = false;
        }
    }
}

TEST(Snapshot, EntryLimitKeepsTheRestAbsolute)
{
    TempHome home;
    TestHttpServer server;
    std::string page;
    for (int i = 0; i < 12; ++i)
        page += "<img src=\"i" + std::to_string(i) + ".gif\">";
    server.setFile("many.html", "text/html", page);
    SnapshotHarness harness;
    auto* snapshot = new clsQuillaraSnapshot(&harness.engine);
    snapshot->setEntryLimit(5);
    int id = -1;
    ASSERT_TRUE(
        snapshot->setup(1, server.url("/site/many.html"), (home.path() / "m").string(), id));
    ASSERT_TRUE(harness.waitForSnapshot(id));
    EXPECT_TRUE(harness.finals[id].limitReached);
    EXPECT_EQ(harness.finals[id].entries.size(), 5u);
    std::string saved = readFile(home.path() / "m" / "many.html");
    EXPECT_NE(
        saved.find("src=\"http://127.0.0.1:" + std::to_string(server.port()) + "/site/i11.gif\""),
        std::string::npos);
}

TEST(Snapshot, LocalNamesStayInsideTheFolder)
{
    struct Case {
        const char* address;
        int kind;
        const char* name;
    };
    const std::vector<Case> cases = {
        {"http://h/dir/", 0, "index.html"},
        {"http://h/p.cgi?x=1", 0, "p.cgi.html"},
        {"http://h/a.HTM", 0, "a.HTM"},
        {"http://h/..%2f..%2fetc%2fpasswd", 1, "_.._etc_passwd"},
        {"http://h/%2e%2e", 1, "file"},
        {"http://h/%00x.gif", 1, "_x.gif"},
        {"http://h/%E6%97%A5.png", 1, "___.png"},
        {"http://h/s", 2, "s.css"},
        {"/tmp/x/../y.gif", 1, "y.gif"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(clsQuillaraSnapshot::localNameOf(c.address, c.kind), c.name) << c.address;
    std::string longName =
        clsQuillaraSnapshot::localNameOf("http://h/" + std::string(500, 'a') + ".gif", 1);
    EXPECT_LE(longName.size(), 64u);
    EXPECT_TRUE(longName.ends_with(".gif"));
    EXPECT_EQ(clsQuillaraSnapshot::addressKey("HTTP://H.Example:80/%7Ea/b#f"),
              clsQuillaraSnapshot::addressKey("http://h.example/~a/b"));
    // One file however its Japanese host is written.
    for (std::string address : {platform::utf8ToSjis("http://日本語.jp/a"),
                                std::string("http://%E6%97%A5%E6%9C%AC%E8%AA%9E.jp/a")})
        EXPECT_EQ(clsQuillaraSnapshot::addressKey(address),
                  clsQuillaraSnapshot::addressKey("http://XN--wgv71a119e.jp/a"));
}

} // namespace
