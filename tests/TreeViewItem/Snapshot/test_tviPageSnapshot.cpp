// The snapshot cabinet: its List and snapshot files, directory names, ageing at the day
// boundaries, delete, trash and restore, and refusal of hostile entries.
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"

#include "TestSupport.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Snapshot/tviAgeing.h"
#include "TreeViewItem/Snapshot/tviPSSFolder.h"
#include "TreeViewItem/Snapshot/tviPSSItem.h"
#include "TreeViewItem/Formats/tviSnapshotFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

TEST(SnapshotFiles, ReadsListLinesAndRefusesHostileDirectoryNames)
{
    std::string list = "I:a/:first\r\n"
                       "X:abc:def\r\n"
                       "f:Folder\\:with: colon\r\n"
                       "I:../../outside/:escape\r\n"
                       "I:/etc/:absolute\r\n"
                       "I:a/b/:nested\r\n"
                       "I:_ Delete _/:trash\r\n"
                       "I:.:dot\r\n"
                       "I:x\x01y/:control\r\n"
                       "I:\x83\x5C/:so\r\n" // "ソ": its trail byte is '\'
                       "I:lf/:unix\n"
                       "I:nocolon\r\n"
                       "I:after/:never\r\n";
    std::size_t refused = 0;
    std::vector<tviSnapshotListEntry> entries = tviSnapshotFiles::readList(list, &refused);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].dirName, "a/");
    EXPECT_EQ(entries[0].name, "first");
    EXPECT_TRUE(entries[1].folder);
    EXPECT_EQ(entries[1].dirName, "Folder/");
    EXPECT_EQ(entries[1].name, "with: colon");
    EXPECT_EQ(entries[2].dirName, "\x83\x5C/");
    EXPECT_EQ(entries[3].dirName, "lf/");
    EXPECT_EQ(refused, 6u);
    // No limit: a List far beyond 16 KB is read whole.
    std::vector<tviSnapshotListEntry> many(2000,
                                           tviSnapshotListEntry{false, "d/", std::string(40, 'n')});
    EXPECT_EQ(tviSnapshotFiles::readList(tviSnapshotFiles::writeList(many)).size(), 2000u);
    // Cut anywhere: never more entries than whole lines.
    std::string written = tviSnapshotFiles::writeList(entries);
    for (std::size_t cut = 0; cut <= written.size(); ++cut)
        EXPECT_LE(tviSnapshotFiles::readList(written.substr(0, cut)).size(), entries.size());
}

TEST(SnapshotFiles, RecordsRoundTripWithoutSizeLimit)
{
    tviSnapshotRecord record;
    record.description = std::string(5000, 'd');
    record.mark = true;
    record.source = "http://h/p.html";
    record.top = "p.html";
    record.created.fromHttpDate("Sun, 06 Nov 1994 08:49:37 GMT");
    record.autoDelete = true;
    std::string bytes = tviSnapshotFiles::writeRecord(record, false);
    tviSnapshotRecord back = tviSnapshotFiles::readRecord(bytes, false);
    EXPECT_EQ(back.description, record.description);
    EXPECT_TRUE(back.mark);
    EXPECT_EQ(back.source, record.source);
    EXPECT_EQ(back.top, record.top);
    EXPECT_EQ(back.created, record.created);
    EXPECT_TRUE(back.autoDelete);
    // The last entry without its NUL is left out; folders read only Description and Mark.
    tviSnapshotRecord cut = tviSnapshotFiles::readRecord(bytes.substr(0, bytes.size() - 1), false);
    EXPECT_FALSE(cut.autoDelete);
    tviSnapshotRecord folder = tviSnapshotFiles::readRecord(bytes, true);
    EXPECT_TRUE(folder.source.empty());
    EXPECT_TRUE(folder.mark);
}

TEST(SnapshotFiles, DirectoryNamesFromNames)
{
    EXPECT_EQ(tviSnapshotFiles::directoryNameOf("a b"), "a_b");
    EXPECT_EQ(tviSnapshotFiles::directoryNameOf("!?"), "__");
    EXPECT_EQ(tviSnapshotFiles::directoryNameOf("../x"), "___x");
    EXPECT_EQ(tviSnapshotFiles::directoryNameOf("\x93\xFA\x96\x7B"),
              "\xE6\x97\xA5\xE6\x9C\xAC"); // 日本
    EXPECT_EQ(tviSnapshotFiles::directoryNameOf(""), "_");
    // A character kept as a reference is itself; a reference to ASCII is no way to a '/'.
    EXPECT_EQ(tviSnapshotFiles::directoryNameOf("x&#128512;&#38;&#47;"),
              "x\xF0\x9F\x98\x80__38___47_");
    EXPECT_LE(tviSnapshotFiles::directoryNameOf(std::string(300, 'x')).size(), 100u);
}

TEST(SnapshotAgeing, WholeDaysInAnyTimeZone)
{
    const char* saved = std::getenv("TZ");
    std::string previous = saved != nullptr ? saved : "";
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
    kivaTime created;
    created.fromHttpDate("Mon, 01 Jan 2024 15:30:00 GMT"); // 00:30 on 2 January in Tokyo
    std::time_t base = 0;
    created.toCalendarSeconds(base);
    std::time_t now = base;
    tviAgeing ageing;
    ageing.setClock([&now] { return now; });
    ageing.setLimitDays(35);
    ageing.setColourDays(25);
    struct Case {
        std::time_t age;
        bool autoDelete;
        bool expired;
        bool coloured;
    };
    const std::vector<Case> cases = {
        {34 * 86400, true, false, true},     {35 * 86400, true, false, true},
        {35 * 86400 + 1, true, true, true},  {36 * 86400, true, true, true},
        {3650 * 86400, false, false, true},  {25 * 86400, true, false, false},
        {25 * 86400 + 1, true, false, true},
    };
    for (const Case& c : cases) {
        now = base + c.age;
        EXPECT_EQ(ageing.isExpired(created, c.autoDelete), c.expired) << c.age;
        EXPECT_EQ(ageing.isColoured(created), c.coloured) << c.age;
    }
    // Day values below 1 are taken as 1: a snapshot of this morning is not deleted.
    ageing.setLimitDays(0);
    EXPECT_EQ(ageing.getLimitDays(), 1);
    now = base + 3600;
    EXPECT_FALSE(ageing.isExpired(created, true));
    // An unknown creation time never expires.
    now = base + 1000 * 86400;
    EXPECT_FALSE(ageing.isExpired(kivaTime(), true));
    ageing.setDeleteOn(false);
    EXPECT_FALSE(ageing.isExpired(created, true));
    if (saved != nullptr)
        ::setenv("TZ", previous.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

struct Cabinet : ::testing::Test {
    testsupport::TempHome home;
    ctrlMemoryTreeView tree;
    tviPageSnapshot* cabinet = nullptr;
    std::time_t now = 1700000000;

    void SetUp() override { open(); }

    void open()
    {
        cabinet = tviPageSnapshot::openDefault(&tree, home.dir(), nullptr);
        ASSERT_NE(cabinet, nullptr);
        cabinet->ageing().setClock([this] { return now; });
    }

    void reopen()
    {
        cabinet->deleteSubtree();
        tree.destroyItem(cabinet);
        open();
    }

    std::string folder() const { return home.dir() + "Snapshot/"; }
    std::string list() const { return readFile(folder() + "List"); }

    tviPSSItem* add(const std::string& name, bool autoDelete = false)
    {
        tviPSSItem* item = cabinet->addSnapshot("http://h/" + name, "d", name, autoDelete);
        if (item != nullptr) {
            writeFile(item->getFullPath() + "index.html", "<p>" + name);
            item->setTop("index.html");
            item->endDownload();
        }
        return item;
    }
};

TEST_F(Cabinet, SameNamesGetNumberedDirectoriesAndReloadTheSame)
{
    ASSERT_NE(add("a b"), nullptr);
    ASSERT_NE(add("a b"), nullptr);
    ASSERT_NE(add("a b"), nullptr);
    ASSERT_NE(add("\x93\xFA\x96\x7B"), nullptr);
    EXPECT_TRUE(cabinet->save());
    EXPECT_TRUE(fs::is_directory(folder() + "a_b"));
    EXPECT_TRUE(fs::is_directory(folder() + "a_b(0)"));
    EXPECT_TRUE(fs::is_directory(folder() + "a_b(1)"));
    EXPECT_TRUE(fs::is_directory(folder() + "_ Delete _"));
    EXPECT_EQ(list(), "I:\xE6\x97\xA5\xE6\x9C\xAC/:\x93\xFA\x96\x7B\r\nI:a_b(1)/:a "
                      "b\r\nI:a_b(0)/:a b\r\nI:a_b/:a b\r\n");
    reopen();
    int count = 0;
    for (TreeNode n = tree.getFirstChild(cabinet->getHandle()); n != nullptr;
         n = tree.getNextSibling(n)) {
        auto* item = dynamic_cast<tviPSSItem*>(tree.getItem(n));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->getSource(), "http://h/" + item->getName());
        EXPECT_TRUE(fs::exists(item->getUrl())) << item->getUrl();
        ++count;
    }
    EXPECT_EQ(count, 4);
}

TEST_F(Cabinet, DeleteMovesToTrashAndUndoRestoresWithTheListConsistent)
{
    tviPSSItem* keep = add("keep");
    tviPSSItem* gone = add("gone");
    ASSERT_TRUE(keep && gone);
    std::string path = gone->getFullPath();
    bool handled = false;
    ASSERT_TRUE(gone->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    EXPECT_TRUE(handled);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::exists(gone->getTrashPath() + "index.html"));
    EXPECT_EQ(list(), "I:keep/:keep\r\n");
    ASSERT_TRUE(tree.undoDelete());
    EXPECT_TRUE(fs::exists(path + "index.html"));
    EXPECT_EQ(list(), "I:gone/:gone\r\nI:keep/:keep\r\n");
    // A snapshot that is still downloading cannot be deleted.
    keep->beginDownload();
    handled = false;
    keep->executeCommand(codeOf(utlCommand::deleteItem), true, handled);
    EXPECT_FALSE(handled);
}

TEST_F(Cabinet, UndoBringsBackEverySnapshotStillInTheTrashLatestFirst)
{
    // A folder with one snapshot, two snapshots beside it; the expired one goes at a save.
    tree.dialogData = tviDialogData{"box", {}, {}, false, true};
    bool handled = false;
    ASSERT_TRUE(cabinet->executeCommand(codeOf(utlCommand::newFolderConfirmed), false, handled));
    auto* box = dynamic_cast<tviPSSFolder*>(tree.getItem(tree.getFirstChild(cabinet->getHandle())));
    ASSERT_NE(box, nullptr);
    tviPSSItem* inner = add("inner");
    tviPSSItem* first = add("first");
    tviPSSItem* old = add("old", true);
    ASSERT_TRUE(inner && first && old);
    ASSERT_TRUE(cabinet->moveEntry(inner, box->getHandle(), kTreeFirst));
    ASSERT_TRUE(cabinet->save());
    EXPECT_EQ(list(), "I:old/:old\r\nI:first/:first\r\nF:box/:box\r\n");
    ASSERT_TRUE(inner->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    ::usleep(2000);
    ASSERT_TRUE(first->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    ::usleep(2000);
    kivaTime created;
    created.fromCalendarSeconds(now - 40 * 86400);
    old->setCreated(created);
    ASSERT_TRUE(cabinet->save());
    EXPECT_EQ(list(), "F:box/:box\r\n");

    // A later run: nothing is buffered, the trash still knows where each came from.
    tree.bufferDeletion(nullptr, kTreeRoot, kTreeFirst);
    reopen();
    EXPECT_TRUE(cabinet->canRestoreFromTrash());
    const std::vector<std::string> order = {"old", "first", "inner"};
    for (const std::string& name : order) {
        auto* back = dynamic_cast<tviPSSItem*>(cabinet->restoreLatestFromTrash());
        ASSERT_NE(back, nullptr) << name;
        EXPECT_EQ(back->getName(), name);
        EXPECT_TRUE(fs::exists(back->getUrl())) << back->getUrl();
        EXPECT_FALSE(fs::exists(back->getFullPath() + tviSnapshotFiles::originName));
        EXPECT_EQ(tree.getSelection(), back->getHandle());
    }
    EXPECT_EQ(cabinet->restoreLatestFromTrash(), nullptr);
    EXPECT_EQ(list(), "I:old/:old\r\nI:first/:first\r\nF:box/:box\r\n");
    EXPECT_EQ(readFile(folder() + "box/List"), "I:inner/:inner\r\n");
    reopen();
    EXPECT_EQ(list(), "I:old/:old\r\nI:first/:first\r\nF:box/:box\r\n");
}

TEST_F(Cabinet, EmptyingTheTrashAsksFirstAndForgetsWhatUndoWouldBringBack)
{
    tviPSSItem* gone = add("gone");
    ASSERT_NE(gone, nullptr);
    bool handled = true;
    cabinet->executeCommand(codeOf(utlCommand::emptySnapshotTrash), true, handled);
    EXPECT_FALSE(handled); // nothing in the trash
    ASSERT_TRUE(gone->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    ASSERT_NE(tree.deletedItem(), nullptr);
    // Asked from a snapshot's menu as from the cabinet's; No keeps everything.
    tviPSSItem* other = add("other");
    ASSERT_NE(other, nullptr);
    tree.answerYes = false;
    ASSERT_TRUE(other->executeCommand(codeOf(utlCommand::emptySnapshotTrash), false, handled));
    EXPECT_TRUE(handled);
    EXPECT_EQ(tree.lastButtons, tviButtons::yesNo);
    EXPECT_FALSE(fs::is_empty(folder() + "_ Delete _"));
    tree.answerYes = true;
    ASSERT_TRUE(cabinet->executeCommand(codeOf(utlCommand::emptySnapshotTrash), false, handled));
    EXPECT_TRUE(fs::is_empty(folder() + "_ Delete _"));
    EXPECT_EQ(tree.deletedItem(), nullptr);
    EXPECT_FALSE(cabinet->canRestoreFromTrash());
    EXPECT_FALSE(tree.undoDelete());
    EXPECT_EQ(list(), "I:other/:other\r\n");
}

// Runs command code on item; handled tells whether it was available.
bool run(tviTreeViewItem* item, int code, bool query = false)
{
    bool handled = false;
    bool ok = item->executeCommand(code, query, handled);
    return ok && handled;
}

TEST_F(Cabinet, CutCopyPasteAndMovesTakeTheDirectoriesAlong)
{
    tree.dialogData = tviDialogData{"box", {}, {}, false, true};
    ASSERT_TRUE(run(cabinet, codeOf(utlCommand::newFolderConfirmed)));
    auto* box = dynamic_cast<tviPSSFolder*>(tree.getItem(tree.getFirstChild(cabinet->getHandle())));
    tviPSSItem* a = add("a");
    tviPSSItem* b = add("b");
    ASSERT_TRUE(box && a && b);
    ASSERT_TRUE(cabinet->save());
    EXPECT_FALSE(run(b, codeOf(utlCommand::moveUp), true)); // the cabinet's edge
    // Down into the empty folder, up out of it again.
    ASSERT_TRUE(run(a, codeOf(utlCommand::moveDown)));
    EXPECT_EQ(list(), "I:b/:b\r\nF:box/:box\r\n");
    EXPECT_EQ(readFile(folder() + "box/List"), "I:a/:a\r\n");
    EXPECT_TRUE(fs::exists(a->getUrl()));
    EXPECT_EQ(a->getUrl(), folder() + "box/a/index.html");
    EXPECT_FALSE(fs::exists(folder() + "a"));
    ASSERT_TRUE(run(a, codeOf(utlCommand::moveUp)));
    EXPECT_EQ(list(), "I:b/:b\r\nI:a/:a\r\nF:box/:box\r\n");
    EXPECT_EQ(readFile(folder() + "box/List"), "");
    EXPECT_TRUE(fs::exists(folder() + "a/index.html"));
    ASSERT_TRUE(run(b, codeOf(utlCommand::moveDown)));
    EXPECT_EQ(list(), "I:a/:a\r\nI:b/:b\r\nF:box/:box\r\n");

    // Cut and paste onto the folder; a second "b" pasted into it gets its own directory.
    ASSERT_TRUE(run(b, codeOf(utlCommand::cut)));
    ASSERT_TRUE(run(box, codeOf(utlCommand::paste)));
    tviPSSItem* b2 = add("b");
    ASSERT_NE(b2, nullptr);
    EXPECT_EQ(b2->getDirName(), "b/");
    ASSERT_TRUE(run(b2, codeOf(utlCommand::cut)));
    tree.pastePlaceAnswer = tviPastePlace::inside;
    ASSERT_TRUE(run(box, codeOf(utlCommand::paste)));
    EXPECT_EQ(readFile(folder() + "box/List"), "I:b(0)/:b\r\nI:b/:b\r\n");
    EXPECT_EQ(b2->getUrl(), folder() + "box/b(0)/index.html");
    EXPECT_TRUE(fs::exists(b2->getUrl()));

    // A copy of a snapshot and of the folder with what it holds; the originals stay.
    ASSERT_TRUE(run(a, codeOf(utlCommand::copy)));
    ASSERT_TRUE(run(cabinet, codeOf(utlCommand::paste)));
    ASSERT_TRUE(run(box, codeOf(utlCommand::copy)));
    ASSERT_TRUE(run(cabinet, codeOf(utlCommand::paste)));
    EXPECT_EQ(list(), "F:box(0)/:box\r\nI:a(0)/:a\r\nI:a/:a\r\nF:box/:box\r\n");
    EXPECT_EQ(readFile(folder() + "box(0)/List"), "I:b(0)/:b\r\nI:b/:b\r\n");
    EXPECT_EQ(readFile(folder() + "a(0)/index.html"), "<p>a");
    EXPECT_EQ(readFile(folder() + "box(0)/b/index.html"), "<p>b");
    EXPECT_TRUE(fs::exists(folder() + "box/b/index.html"));
    // Onto itself or below itself: refused.
    ASSERT_TRUE(run(box, codeOf(utlCommand::cut)));
    EXPECT_FALSE(run(b, codeOf(utlCommand::paste), true));

    // A snapshot that downloads, and a folder holding one, stay where they are.
    b->beginDownload();
    for (tviTreeViewItem* busy : std::vector<tviTreeViewItem*>{b, box})
        for (int code : {codeOf(utlCommand::cut), codeOf(utlCommand::copy),
                         codeOf(utlCommand::moveUp), codeOf(utlCommand::moveDown)})
            EXPECT_FALSE(run(busy, code, true)) << code;
    b->endDownload();
    tree.bufferDeletion(nullptr, kTreeRoot, kTreeFirst);
    reopen();
    EXPECT_EQ(list(), "F:box(0)/:box\r\nI:a(0)/:a\r\nI:a/:a\r\nF:box/:box\r\n");
    int snapshots = 0;
    for (TreeNode n : tree.subtreeNodes(cabinet->getHandle()))
        if (auto* item = dynamic_cast<tviPSSItem*>(tree.getItem(n))) {
            EXPECT_TRUE(fs::exists(item->getUrl())) << item->getUrl();
            ++snapshots;
        }
    EXPECT_EQ(snapshots, 6);
}

TEST_F(Cabinet, AMoveCutShortByAKillIsFinishedAtTheNextOpen)
{
    tree.dialogData = tviDialogData{"box", {}, {}, false, true};
    ASSERT_TRUE(run(cabinet, codeOf(utlCommand::newFolderConfirmed)));
    ASSERT_NE(add("a"), nullptr);
    ASSERT_TRUE(cabinet->save());
    static int stopAt = 0;
    for (int step : {1, 2, 3}) {
        auto* a = dynamic_cast<tviPSSItem*>(tree.getItem(tree.getFirstChild(cabinet->getHandle())));
        auto* box = dynamic_cast<tviPSSFolder*>(tree.getItem(tree.getNextSibling(a->getHandle())));
        ASSERT_TRUE(a && box) << step;
        stopAt = step;
        tviPageSnapshot::stopAfterStep = [](int at) { return at == stopAt; };
        ASSERT_TRUE(run(a, codeOf(utlCommand::moveDown)));
        tviPageSnapshot::stopAfterStep = nullptr;
        // The process "dies" here; the next one finds the plan and finishes it.
        tree.bufferDeletion(nullptr, kTreeRoot, kTreeFirst);
        reopen();
        EXPECT_EQ(list(), "F:box/:box\r\n") << step;
        EXPECT_EQ(readFile(folder() + "box/List"), "I:a/:a\r\n") << step;
        EXPECT_TRUE(fs::exists(folder() + "box/a/index.html")) << step;
        EXPECT_FALSE(fs::exists(folder() + "a")) << step;
        EXPECT_FALSE(fs::exists(folder() + ".plan")) << step;
        // And back out, whole, for the next round.
        box = dynamic_cast<tviPSSFolder*>(tree.getItem(tree.getFirstChild(cabinet->getHandle())));
        a = dynamic_cast<tviPSSItem*>(tree.getItem(tree.getFirstChild(box->getHandle())));
        ASSERT_TRUE(a != nullptr) << step;
        ASSERT_TRUE(run(a, codeOf(utlCommand::moveUp)));
        EXPECT_EQ(list(), "I:a/:a\r\nF:box/:box\r\n") << step;
    }
}

// A deleted snapshot folder comes back from the trash whole: its snapshots in their order with
// names, notes and marks, and the folder's own note and mark.
TEST_F(Cabinet, UndoDeleteOfAFolderRestoresItsSnapshotsWhole)
{
    using namespace std::string_literals;
    fs::create_directories(folder() + "fold/a");
    fs::create_directories(folder() + "fold/b");
    writeFile(folder() + "List", "F:fold/:Folder\r\n");
    writeFile(folder() + "fold/List", "I:b/:B one\r\nI:a/:A two\r\n");
    writeFile(folder() + "fold/snapshot", "Description=folder note\0Mark=1\0"s);
    writeFile(folder() + "fold/a/snapshot",
              "Description=a note\0Mark=1\0Source=http://h/a\0Top=index.html\0"s);
    writeFile(folder() + "fold/b/snapshot",
              "Description=b note\0Mark=0\0Source=http://h/b\0Top=index.html\0"s);
    reopen();
    auto shape = [&] {
        std::string out;
        for (TreeNode n : tree.subtreeNodes(cabinet->getHandle())) {
            tviTreeViewItem* item = tree.getItem(n);
            out += item->getText() + "|" + item->getDescription() + "|" +
                   (item->isMarked() ? "*" : "") + "|" + item->getUrl() + "\n";
        }
        return out;
    };
    const std::string whole = shape();
    const std::string lists = list() + readFile(folder() + "fold/List");
    ASSERT_NE(std::string::npos, whole.find("A two|a note|*|")) << whole;
    tviTreeViewItem* fold = tree.getItem(tree.getFirstChild(cabinet->getHandle()));
    bool handled = false;
    ASSERT_TRUE(fold->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    EXPECT_FALSE(fs::exists(folder() + "fold"));
    ASSERT_TRUE(tree.undoDelete());
    EXPECT_EQ(whole, shape());
    EXPECT_EQ(lists, list() + readFile(folder() + "fold/List"));
    reopen();
    EXPECT_EQ(whole, shape());
}

// A snapshot whose directory was removed by hand does not stop the saves of the others and can
// be deleted; one the engine refused to start shows as failed, never as saved.
TEST_F(Cabinet, MissingDirectoriesAndRefusedSnapshotsAreNoSuccess)
{
    tviPSSItem* kept = add("kept");
    tviPSSItem* gone = add("gone");
    ASSERT_TRUE(kept && gone);
    fs::remove_all(gone->getFullPath());
    kept->setDescription("changed");
    EXPECT_TRUE(cabinet->save());
    EXPECT_NE(std::string::npos, readFile(kept->getFullPath() + "snapshot").find("changed"));
    bool handled = false;
    ASSERT_TRUE(gone->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    EXPECT_TRUE(handled);
    EXPECT_EQ(list(), "I:kept/:kept\r\n");
    EXPECT_TRUE(cabinet->save());
    // No engine: the snapshot cannot start.
    tviPSSItem* refused = cabinet->takeSnapshot("http://h/refused", "", "refused", false, 0);
    ASSERT_NE(refused, nullptr);
    std::string text;
    bool isError = false;
    refused->getStatusText(text, isError);
    EXPECT_TRUE(isError);
    EXPECT_EQ(clsRequestStatus::failed, refused->getStatus());
    EXPECT_NE("\x95\xDB\x91\xB6\x8D\xCF\x82\xDD", text); // 保存済み
}

TEST_F(Cabinet, HostileListEntriesAndLinksAreNotFollowed)
{
    fs::path outside = home.path() / "outside";
    fs::create_directories(outside);
    writeFile(outside / "precious", "x");
    fs::create_directories(folder() + "real");
    fs::create_directory_symlink(outside, folder() + "link");
    writeFile(folder() + "List",
              "I:../outside/:up\r\nI:link/:link\r\nI:real/:real\r\nI:/tmp/:abs\r\n");
    reopen();
    ASSERT_NE(tree.getFirstChild(cabinet->getHandle()), nullptr);
    EXPECT_EQ(tree.getNextSibling(tree.getFirstChild(cabinet->getHandle())), nullptr);
    std::string trash;
    EXPECT_FALSE(cabinet->moveToTrash(folder() + "link/", trash));
    EXPECT_FALSE(cabinet->moveToTrash(outside.string() + "/", trash));
    EXPECT_TRUE(fs::exists(outside / "precious"));
    // Emptying the trash removes a link found there, never what it points to.
    fs::create_directory_symlink(outside, folder() + "_ Delete _/SSI1.tmp");
    EXPECT_TRUE(cabinet->emptyTrash());
    EXPECT_TRUE(fs::exists(outside / "precious"));
    EXPECT_TRUE(fs::is_empty(folder() + "_ Delete _"));
}

TEST_F(Cabinet, ExpiredSnapshotsGoToTheTrashAtTheNextSave)
{
    tviPSSItem* old = add("old", true);
    tviPSSItem* kept = add("kept", false);
    tviPSSItem* young = add("young", true);
    ASSERT_TRUE(old && kept && young);
    kivaTime created;
    created.fromCalendarSeconds(now - 36 * 86400);
    old->setCreated(created);
    kept->setCreated(created);
    created.fromCalendarSeconds(now - 34 * 86400);
    young->setCreated(created);
    EXPECT_TRUE(kept->isSpecial());
    EXPECT_TRUE(cabinet->save());
    EXPECT_EQ(list(), "I:young/:young\r\nI:kept/:kept\r\n");
    EXPECT_FALSE(fs::exists(folder() + "old"));
    bool inTrash = false;
    for (const auto& entry : fs::directory_iterator(folder() + "_ Delete _"))
        inTrash = inTrash || fs::exists(entry.path() / "index.html");
    EXPECT_TRUE(inTrash);
}

TEST_F(Cabinet, AFailedOrKilledSaveLeavesTheOldListOrTheNewOne)
{
    ASSERT_NE(add("one"), nullptr);
    ASSERT_TRUE(cabinet->save());
    std::string before = list();
    {
        testsupport::FileSizeLimit limit(4);
        ASSERT_NE(add("two"), nullptr);
        EXPECT_FALSE(cabinet->save());
    }
    EXPECT_EQ(list(), before);
    ASSERT_TRUE(cabinet->save());
    for (int delayUs : {0, 200, 1000, 3000}) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                tviPSSItem* item = add("flip");
                (void)cabinet->save(); // killed at any point; the parent checks the files
                bool handled = false;
                item->executeCommand(codeOf(utlCommand::deleteItem), false, handled);
            }
        }
        ::usleep(static_cast<useconds_t>(delayUs));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        std::string now = list();
        std::vector<tviSnapshotListEntry> entries = tviSnapshotFiles::readList(now);
        EXPECT_TRUE(entries.size() == 2 || entries.size() == 3) << now;
        EXPECT_TRUE(now.ends_with("\r\n")) << now;
    }
}

} // namespace
