#include "TreeViewItem/tviCabinetCheck.h"

#include "TestHttpServer.h"
#include "TestSupport.h"
#include "TreeViewItem/tviCabinet.h"
#include "TreeViewItem/tviCabinetFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

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

std::string writeCabinet(const testsupport::TempHome& home, const testsupport::TestHttpServer& server,
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

// Runs the command line program and returns its exit code, with its standard output.
int runCli(const std::string& arguments, std::string& out)
{
    FILE* pipe = popen((std::string(QUILLARA_CLI) + " " + arguments + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, n);
    }
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(tviCabinetCheck, FindsDeadAndHangingAddressesAndFollowsRedirects)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer server(60);
    std::string path = writeCabinet(home, server,
                                    {{"live", "/page"}, {"gone", "/status/404"}, {"removed", "/status/410"},
                                     {"broken", "/status/500"}, {"moved", "/redirect?n=2"},
                                     {"hangs", "/hang"}, {"top", "/relative/start"}});
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
        {"live", 4, 0, "sub"},      {"gone", 5, 404, "sub"},  {"removed", 5, 410, "sub"},
        {"broken", 5, 500, "sub"},  {"moved", 4, 0, "sub"},   {"hangs", 5, -1, "sub"},
        {"top", 4, 0, ""},
    };
    for (const Expected& e : expected) {
        ASSERT_EQ(1u, byName.count(e.name)) << e.name;
        EXPECT_EQ(e.status, byName[e.name].status) << e.name;
        EXPECT_EQ(e.result, byName[e.name].result) << e.name;
        EXPECT_EQ(e.path, byName[e.name].path) << e.name;
    }
    EXPECT_EQ(4u, check.failedCount());
    // 404 gives the text of a page that is gone, with the status behind the full-width bracket.
    EXPECT_EQ(0u, byName["gone"].statusText.find("\x83\x7a\x81\x5b\x83\x80\x83\x79\x81\x5b\x83\x57\x82\xcd"));
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
