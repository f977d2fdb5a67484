// Taking a snapshot of a tree item through commands 1019 and 1020, the engine and the
// notifications relayed by the tree; and the same through quillara-cli.
#include "TreeViewItem/Snapshot/tviPSSItem.h"

#include "EngineHarness.h"
#include "Platform/platformText.h"
#include "TestHttpServer.h"
#include "TestSupport.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"
#include "TreeViewItem/Cabinet/tviQuillaraCabinet.h"
#include "TreeViewItem/Formats/tviSnapshotFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace fs = std::filesystem;
using testsupport::readFile;

namespace {

// The tree as the engine's target, with the messages pumped on the test's thread.
struct SnapshotTree : ctrlMemoryTreeView {
    std::string lastMessage;
    std::string lastOpened;
    void showMessage(const std::string& text, const std::string&) override { lastMessage = text; }
    bool openExternal(const std::string& target, bool) override
    {
        lastOpened = target;
        return true;
    }
};

TEST(SnapshotItem, TakenFromASelectedItemThroughTheDialogCommands)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer server;
    server.setFile("p.html", "text/html",
                   "<html><body><img src=\"i.gif\"><img src=\"gone.gif\"></body></html>");
    server.setFile("i.gif", "image/gif", "GIF89a");
    SnapshotTree tree;
    platform::QueueMessageTarget window;
    clsQuillaraEngine engine;
    window.setHandler([&engine](const platform::Message& m) { engine.handleMessage(m); });
    engine.init(&tree, &window, testsupport::EngineHarness::quickOptions());
    tree.setEngine(&engine);

    tviQuillaraCabinet* quillara = tviQuillaraCabinet::openDefault(&tree, home.dir());
    tviPageSnapshot* cabinet = tviPageSnapshot::openDefault(&tree, home.dir(), nullptr);
    ASSERT_TRUE(quillara && cabinet);
    EXPECT_EQ(tree.getNextSibling(quillara->getHandle()), cabinet->getHandle());
    auto* source =
        static_cast<tviCabinetItem*>(tree.adopt(std::make_unique<tviCabinetItem>(&tree)));
    source->setName("page");
    source->setUrl(server.url("/site/p.html"));
    ASSERT_TRUE(source->insertItem(quillara->getHandle(), kTreeLast));

    bool handled = false;
    ASSERT_TRUE(source->executeCommand(codeOf(utlCommand::takeSnapshot), true, handled));
    EXPECT_TRUE(handled);
    // An empty name asks for one and takes nothing.
    tree.dialogData = tviDialogData{};
    tree.dialogData.confirmed = true;
    ASSERT_TRUE(source->executeCommand(codeOf(utlCommand::snapshotConfirmed), false, handled));
    EXPECT_EQ(platform::sjisToUtf8(tree.lastMessage), "スナップショット名を入力して下さい。");
    EXPECT_FALSE(tree.dialogData.confirmed);
    EXPECT_EQ(tree.getFirstChild(cabinet->getHandle()), nullptr);

    tree.dialogData.name = "my page";
    tree.dialogData.confirmed = true;
    tree.dialogData.autoDelete = true;
    ASSERT_TRUE(source->executeCommand(codeOf(utlCommand::snapshotConfirmed), false, handled));
    auto* item = dynamic_cast<tviPSSItem*>(tree.getItem(tree.getFirstChild(cabinet->getHandle())));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->getDownloadState(), 1);
    EXPECT_TRUE(item->getAutoDelete());
    // Downloading: it cannot be deleted.
    handled = true;
    item->executeCommand(codeOf(utlCommand::deleteItem), true, handled);
    EXPECT_FALSE(handled);
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (item->getDownloadState() != 0 && std::chrono::steady_clock::now() < giveUp)
        window.pump(20);
    ASSERT_EQ(item->getDownloadState(), 0);
    EXPECT_EQ(item->getText(), "my page");
    EXPECT_EQ(item->getTop(), "p.html");
    EXPECT_FALSE(item->isFailed());
    std::string top = readFile(item->getUrl());
    EXPECT_NE(top.find("src=\"i.gif\""), std::string::npos);
    EXPECT_NE(top.find("/site/gone.gif\""), std::string::npos);
    tviSnapshotRecord record =
        tviSnapshotFiles::readRecord(readFile(item->getFullPath() + "snapshot"), false);
    EXPECT_EQ(record.top, "p.html");
    EXPECT_EQ(record.source, server.url("/site/p.html"));
    EXPECT_TRUE(record.autoDelete);
    EXPECT_EQ(readFile(home.dir() + "Snapshot/List"), "I:my_page/:my page\r\n");
    // The item opens its page from disk.
    handled = false;
    item->executeCommand(codeOf(utlCommand::showInBrowser), true, handled);
    EXPECT_TRUE(handled);
    engine.term();
    window.setHandler(&clsQuillaraEngine::DiscardMessage);
    while (window.pump(0) > 0) {
    }
}

TEST(SnapshotItem, ShowInBrowserOnceTheTopPageIsSavedWhileTheRestDownloads)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer server;
    server.setFile("p.html", "text/html", "<html><body><img src=\"/hang\"></body></html>");
    SnapshotTree tree;
    platform::QueueMessageTarget window;
    clsQuillaraEngine engine;
    window.setHandler([&engine](const platform::Message& m) { engine.handleMessage(m); });
    engine.init(&tree, &window, testsupport::EngineHarness::quickOptions());
    tree.setEngine(&engine);
    tviPageSnapshot* cabinet = tviPageSnapshot::openDefault(&tree, home.dir(), nullptr);
    ASSERT_NE(cabinet, nullptr);
    tviPSSItem* item = cabinet->takeSnapshot(server.url("/site/p.html"), {}, "p", false, 1);
    ASSERT_NE(item, nullptr);
    // Nothing saved yet: nothing to show.
    bool handled = true;
    item->executeCommand(codeOf(utlCommand::showInBrowser), true, handled);
    EXPECT_FALSE(handled);
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (item->getDownloadState() != 2 && std::chrono::steady_clock::now() < giveUp)
        window.pump(20);
    ASSERT_EQ(item->getDownloadState(), 2); // the image still hangs
    for (int code : {codeOf(utlCommand::showInBrowser), codeOf(utlCommand::showInNewBrowser)}) {
        handled = false;
        item->executeCommand(code, true, handled);
        EXPECT_TRUE(handled) << code;
        tree.lastOpened.clear();
        handled = false;
        EXPECT_TRUE(item->executeCommand(code, false, handled));
        EXPECT_TRUE(handled) << code;
        EXPECT_EQ(tree.lastOpened, item->getFullPath() + "p.html") << code;
    }
    engine.term();
    window.setHandler(&clsQuillaraEngine::DiscardMessage);
    while (window.pump(0) > 0) {
    }
}

using testsupport::runCli;

TEST(SnapshotItem, CommandLineExitCodesAndListing)
{
    if (std::string(QUILLARA_CLI).empty())
        GTEST_SKIP() << "quillara-cli is built only in the plain build";
    testsupport::TempHome home;
    testsupport::TestHttpServer server;
    server.setFile("ok.html", "text/html", "<img src=\"a.gif\">");
    server.setFile("part.html", "text/html", "<img src=\"a.gif\"><img src=\"none.gif\">");
    server.setFile("a.gif", "image/gif", "GIF89a");
    struct Case {
        std::string path;
        int exit;
    };
    // A fragment is not part of the page's file: the page is saved and reported so.
    const std::vector<Case> cases = {{"/site/ok.html", 0},
                                     {"/site/part.html", 1},
                                     {"/site/gone.html", 2},
                                     {"/site/ok.html#top", 0}};
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(runCli("snapshot --json --name n " + server.url(c.path), out), c.exit)
            << c.path << out;
        EXPECT_NE(out.find("\"directory\""), std::string::npos) << out;
    }
    std::string list;
    EXPECT_EQ(runCli("snapshots --json", list), 0);
    EXPECT_NE(list.find("\"source\":\"" + server.url("/site/ok.html") + "\""), std::string::npos)
        << list;
    EXPECT_NE(list.find("/Snapshot/n(1)/"), std::string::npos) << list;

    // What was deleted goes for good, without a question on the command line.
    fs::path trash = home.path() / "Data" / "Snapshot" / "_ Delete _";
    fs::create_directories(trash / "SSI1.tmp");
    testsupport::writeFile(trash / "SSI1.tmp" / "index.html", "x");
    std::string emptied;
    EXPECT_EQ(runCli("snapshots --empty-trash --json", emptied), 0);
    EXPECT_EQ(emptied, "{\"emptied\":1}\n");
    EXPECT_TRUE(fs::is_empty(trash));
}

// Scripts are removed unless --keep-scripts asks for them; the kept script file is saved.
TEST(SnapshotItem, CommandLineKeepsScriptsOnlyWhenAsked)
{
    if (std::string(QUILLARA_CLI).empty())
        GTEST_SKIP() << "quillara-cli is built only in the plain build";
    testsupport::TempHome home;
    testsupport::TestHttpServer server;
    server.setFile("s.html", "text/html",
                   "<script src=\"s.js\"></script><p onclick=\"f()\">text</p>");
    server.setFile("s.js", "text/javascript", "function f() {}");
    std::string removed;
    EXPECT_EQ(runCli("snapshot --json --name r " + server.url("/site/s.html"), removed), 0)
        << removed;
    EXPECT_NE(removed.find("\"scripts_kept\":false"), std::string::npos) << removed;
    EXPECT_EQ(server.arrivalCount("/site/s.js"), 0u);
    std::string kept;
    EXPECT_EQ(runCli("snapshot --json --keep-scripts --name k " + server.url("/site/s.html"), kept),
              0)
        << kept;
    EXPECT_NE(kept.find("\"scripts_kept\":true"), std::string::npos) << kept;
    EXPECT_EQ(server.arrivalCount("/site/s.js"), 1u);
    std::string page = readFile(home.path() / "Data/Snapshot/k/s.html");
    EXPECT_NE(page.find("<script src=\"s.js\"></script><p onclick=\"f()\">"), std::string::npos)
        << page;
    EXPECT_EQ(readFile(home.path() / "Data/Snapshot/r/s.html").find("<script"), std::string::npos);
}

} // namespace
