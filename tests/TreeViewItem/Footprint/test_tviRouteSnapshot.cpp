#include "TreeViewItem/Footprint/tviRouteSnapshot.h"

#include "TestSupport.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Formats/tviFootprintFile.h"
#include "TreeViewItem/Footprint/tviRSSFolder.h"
#include "TreeViewItem/Footprint/tviRSSItem.h"
#include "TreeViewItem/Footprint/tviRSSItemSet.h"
#include "TreeViewItem/Base/tviSubItem.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

constexpr std::time_t kDay = tviRSSItemSet::secondsPerDay;
constexpr std::time_t kStart = 1765000000; // a fixed "now" for the tests

struct Fixture {
    testsupport::TempHome home;
    ctrlMemoryTreeView tree;
    std::time_t now = kStart;
    tviRouteSnapshot* route = nullptr;

    tviRouteSnapshot* open()
    {
        if (route != nullptr) {
            route->deleteSubtree();
            tree.destroyItem(route);
        }
        route =
            static_cast<tviRouteSnapshot*>(tree.adopt(std::make_unique<tviRouteSnapshot>(&tree)));
        route->insertItem(kTreeRoot, kTreeLast);
        route->setFilePath(home.dir() + "Footprint.scb");
        route->setDeleteDay(35);
        route->setColorDay(25);
        route->setClock([this] { return now; });
        route->load();
        return route;
    }

    // A cabinet item with two levels of links below it; returns the deepest link.
    tviTreeViewItem* route3(const std::string& url)
    {
        auto* cabinet = static_cast<tviCabinet*>(tree.adopt(std::make_unique<tviCabinet>(&tree)));
        cabinet->insertItem(kTreeRoot, kTreeFirst);
        auto* top =
            static_cast<tviCabinetItem*>(tree.adopt(std::make_unique<tviCabinetItem>(&tree)));
        top->setName("top  <one> & \x93\xfa\x96\x7b"); // 日本
        top->setUrl(url);
        top->setTitle("Title \"t\"");
        top->setKeywords("k1, k2");
        top->setDescription("line one\r\nline  two");
        top->insertItem(cabinet->getHandle(), kTreeLast);
        auto* link =
            static_cast<tviSubItem*>(tree.adopt(std::make_unique<tviSubItem>(&tree, typeSubItem)));
        link->setLinkText("second");
        link->setUrl("http://h/2?a=1&b=\"2\"");
        link->setStatus(clsRequestStatus::failed);
        link->insertItem(top->getHandle(), kTreeLast);
        auto* deep =
            static_cast<tviSubItem*>(tree.adopt(std::make_unique<tviSubItem>(&tree, typeSubItem)));
        deep->setLinkText("third");
        deep->setUrl("http://h/3");
        deep->insertItem(link->getHandle(), kTreeLast);
        return deep;
    }

    // The page chain below a footprint as "name <url>" lines.
    std::vector<std::string> chain(tviTreeViewItem* set) const
    {
        std::vector<std::string> out;
        for (TreeNode n = tree.getFirstChild(set->getHandle()); n != nullptr;
             n = tree.getFirstChild(n)) {
            const auto* page = static_cast<const tviRSSItem*>(tree.getItem(n));
            out.push_back(page->getName() + " <" + page->getUrl() + "> " + page->getTitle() +
                          " | " + page->getKeywords() + " | " + page->getDescription() + " | " +
                          std::to_string(static_cast<int>(page->getStatus())));
        }
        return out;
    }
};

} // namespace

TEST(tviRouteSnapshot, FootprintRoundTripKeepsTheRouteWithAddressesThatNeedEncoding)
{
    Fixture f;
    f.open();
    std::string odd = "http://h/\x93\xfa\x96\x7b?q=\"a\"&b=<c>"; // 日本
    tviRSSItemSet* set = f.route->addFootprint(f.route3(odd), "my route", true);
    ASSERT_NE(nullptr, set);
    std::vector<std::string> expected{
        "top  <one> & \x93\xfa\x96\x7b <" + odd +
            "> Title \"t\" | k1, k2 | line one\r\nline  two | 0",
        "second <http://h/2?a=1&b=\"2\">  |  |  | 5",
        "third <http://h/3>  |  |  | 0",
    };
    EXPECT_EQ(expected, f.chain(set));
    TreeNode deepest =
        f.tree.getFirstChild(f.tree.getFirstChild(f.tree.getFirstChild(set->getHandle())));
    EXPECT_EQ(deepest, f.tree.getSelection());
    EXPECT_EQ(overlayError,
              f.tree.getOverlay(f.tree.getFirstChild(f.tree.getFirstChild(set->getHandle()))));
    // The file holds the address encoded, and reading it gives everything back.
    std::string bytes = testsupport::readFile(f.home.dir() + "Footprint.scb");
    EXPECT_NE(std::string::npos,
              bytes.find("href=\"http://h/\x93\xfa\x96\x7b?q=&quot;a&quot;&amp;b=&lt;c&gt;\""));
    f.open();
    TreeNode first = f.tree.getFirstChild(f.route->getHandle());
    ASSERT_NE(nullptr, first);
    auto* back = static_cast<tviRSSItemSet*>(f.tree.getItem(first));
    EXPECT_EQ("my route", back->getName());
    EXPECT_TRUE(back->getAutoDelete());
    EXPECT_EQ(kStart, back->getCreated());
    EXPECT_EQ(35, back->getDeleteDay());
    EXPECT_EQ(expected, f.chain(back));
    EXPECT_FALSE(f.route->isReadOnly());
    // Written again, the file is the same.
    ASSERT_TRUE(f.route->save());
    EXPECT_EQ(bytes, testsupport::readFile(f.home.dir() + "Footprint.scb"));
}

TEST(tviRouteSnapshot, AgeingAtTheDayBoundariesWithAFixedClock)
{
    Fixture f;
    f.open();
    tviRSSItemSet* keep = f.route->addFootprint(f.route3("http://keep/"), "keep", false);
    tviRSSItemSet* drop = f.route->addFootprint(f.route3("http://drop/"), "drop", true);
    struct Case {
        std::time_t at;
        bool aged;
        size_t inFile;
    } cases[] = {
        {kStart + 25 * kDay, false, 2},    // exactly 25 days: not yet later than the limit
        {kStart + 25 * kDay + 1, true, 2}, // one second past: drawn in the mark colour
        {kStart + 35 * kDay, true, 2},     // exactly 35 days: still kept
        {kStart + 35 * kDay + 1, true,
         1}, // past 35 days: the auto-delete footprint leaves the file
    };
    for (const Case& c : cases) {
        f.now = c.at;
        EXPECT_EQ(c.aged, keep->isSpecial()) << c.at - kStart;
        EXPECT_EQ(c.aged, drop->isSpecial()) << c.at - kStart;
        tviFootprintDocument doc;
        f.route->toDocument(doc);
        size_t sets = 0;
        for (const tviFootprintEntry& e : doc.entries) {
            sets += e.type == typeRSSItemSet ? 1 : 0;
        }
        EXPECT_EQ(c.inFile, sets) << c.at - kStart;
    }
    f.route->setAgeing(false, true);
    EXPECT_FALSE(keep->isSpecial());
    // Expired footprints stay in the tree until the next start, and are gone after it.
    ASSERT_TRUE(f.route->save());
    f.open();
    TreeNode only = f.tree.getFirstChild(f.route->getHandle());
    ASSERT_NE(nullptr, only);
    EXPECT_EQ(nullptr, f.tree.getNextSibling(only));
    EXPECT_EQ("keep", f.tree.getItem(only)->getText());
}

TEST(tviRouteSnapshot, DeleteFoldersAndFilesItMustNotWrite)
{
    Fixture f;
    f.open();
    f.tree.dialogData = tviDialogData{"folder", "", "note", true, true};
    bool handled = false;
    ASSERT_TRUE(f.route->executeCommand(codeOf(utlCommand::newFolderConfirmed), false, handled));
    tviRSSItemSet* set = f.route->addFootprint(f.route3("http://a/"), "gone soon", false);
    ASSERT_TRUE(set->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    EXPECT_TRUE(handled);
    f.open();
    ASSERT_EQ(1u, f.tree.subtreeNodes(f.route->getHandle()).size() - 1);
    auto* folder =
        static_cast<tviRSSFolder*>(f.tree.getItem(f.tree.getFirstChild(f.route->getHandle())));
    EXPECT_EQ("folder", folder->getName());
    EXPECT_EQ("note", folder->getDescription());
    EXPECT_TRUE(folder->isMarked());

    // A failed write leaves the old file and says so.
    std::string before = testsupport::readFile(f.home.dir() + "Footprint.scb");
    {
        testsupport::FileSizeLimit limit(100);
        // A footprint that cannot be written is reported as not taken and is not shown.
        EXPECT_EQ(nullptr, f.route->addFootprint(f.route3("http://b/"), "big", false));
        for (TreeNode n : f.tree.subtreeNodes(f.route->getHandle()))
            EXPECT_NE("big", f.tree.getItem(n)->getText());
        EXPECT_TRUE(f.route->save() == false ||
                    testsupport::readFile(f.home.dir() + "Footprint.scb") == before);
    }
    EXPECT_EQ(before, testsupport::readFile(f.home.dir() + "Footprint.scb"));

    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"newer format",
         "<HTML><HEAD><TITLE>t</TITLE><META name=\"quillara\" content=\"footprint\">"
         "<META name=\"version\" content=\"01.01.00\"></HEAD><BODY><DL></DL></BODY></HTML>"},
        {"foreign file", "<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY><DL></DL></BODY></HTML>"},
        {"cut short", before.substr(0, before.size() / 2)},
    };
    for (const Case& c : cases) {
        testsupport::writeFile(f.home.dir() + "Footprint.scb", c.bytes);
        f.open();
        EXPECT_TRUE(f.route->isReadOnly()) << c.what;
        EXPECT_EQ(nullptr, f.route->addFootprint(f.route3("http://c/"), "x", false)) << c.what;
        EXPECT_FALSE(f.route->save()) << c.what;
        EXPECT_EQ(c.bytes, testsupport::readFile(f.home.dir() + "Footprint.scb")) << c.what;
    }
}

TEST(tviFootprintFile, StrayBytesInFieldsReadBackAsWritten)
{
    // Lead bytes without a trail byte, NULs and control bytes in every field, the address's
    // scheme included: the written file reads back whole and writes out the same again.
    const std::string values[] = {
        std::string("\x81"),
        std::string("a\x81"),
        std::string("\x81\""),
        std::string("\x81>"),
        std::string("\x81<A>"),
        std::string("\x81&amp;"),
        std::string("\0\x81\0", 3),
        std::string("\x01\x02\x1b\x7f"),
        std::string("\x81\t\x81\r\n\x81"),
        std::string("\xfd\xfe\xff"),
        std::string("\x82\xa0\x81"),
    };
    for (const std::string& v : values) {
        tviFootprintDocument doc;
        doc.name = v;
        doc.description = v;
        auto entry = [&](int type, int parent) {
            tviFootprintEntry e;
            e.type = type;
            e.parent = parent;
            e.name = v;
            e.description = v;
            e.created = kStart;
            return e;
        };
        doc.entries.push_back(entry(6, -1));
        doc.entries.push_back(entry(7, 0));
        tviFootprintEntry page = entry(8, 1);
        page.url = v + "://h/" + v;
        page.keyword = v;
        page.title = v;
        doc.entries.push_back(page);
        page.parent = 2;
        page.url = "http://h/" + v;
        doc.entries.push_back(page);
        std::string once = tviFootprintFile::write(doc);
        tviFootprintDocument back;
        std::string error;
        ASSERT_TRUE(tviFootprintFile::read(once, back, error))
            << error << " for " << testing::PrintToString(v);
        ASSERT_EQ(doc.entries.size(), back.entries.size()) << testing::PrintToString(v);
        EXPECT_EQ(once, tviFootprintFile::write(back)) << testing::PrintToString(v);
    }
}

TEST(tviFootprintFile, OddNestingReadsAsATreeTheWriterKeeps)
{
    // Headings always go to the heading whose list holds them, never below a page; pages chain
    // within their own list only; a list opened without a heading adds no level.
    struct Case {
        std::string body;
        std::vector<int> parents;
    } cases[] = {
        {"<H4>h</H4><DL><A href=\"x\">p</A><H3>f</H3><DL><H4>g</H4><DL><A "
         "href=\"y\">q</A></DL></DL>"
         "<A href=\"z\">r</A></DL>",
         {-1, 0, 0, 2, 3, 1}},
        {"<H4>h</H4><DL><A href=\"x\">p</A><DL><A href=\"y\">q</A></DL><A href=\"z\">r</A></DL>",
         {-1, 0, 1, 2}},
        {"<H3>f</H3><H4>h</H4><DL><A href=\"x\">p</A></DL>", {-1, -1, 1}},
        {"<H4>h</H4><DL><A href=\"x\">p</A><A href=\"y\">q</A></DL><H4>g</H4><DL><A "
         "href=\"z\">r</A></DL>",
         {-1, 0, 1, -1, 3}},
    };
    for (const Case& c : cases) {
        std::string file =
            "<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY><DL>" + c.body + "</DL></BODY></HTML>";
        tviFootprintDocument doc;
        std::string error;
        ASSERT_TRUE(tviFootprintFile::read(file, doc, error)) << error << " in " << c.body;
        std::vector<int> parents;
        for (const tviFootprintEntry& e : doc.entries) {
            parents.push_back(e.parent);
        }
        EXPECT_EQ(c.parents, parents) << c.body;
        std::string once = tviFootprintFile::write(doc);
        tviFootprintDocument back;
        ASSERT_TRUE(tviFootprintFile::read(once, back, error)) << error;
        EXPECT_EQ(once, tviFootprintFile::write(back)) << c.body;
    }
}

namespace {

bool runCommand(tviTreeViewItem* item, int code, bool query = false)
{
    bool handled = false;
    bool ok = item->executeCommand(code, query, handled);
    return ok && handled;
}

// The cabinet's tree as text: names, folders' children in braces.
std::string shape(const ctrlTreeView& tree, TreeNode parent)
{
    std::string out;
    for (TreeNode n = tree.getFirstChild(parent); n != nullptr; n = tree.getNextSibling(n)) {
        tviTreeViewItem* item = tree.getItem(n);
        if (item->getType() == typeRSSItem)
            continue;
        out += (out.empty() ? "" : " ") + item->getText();
        if (item->getType() == typeRSSFolder)
            out += "{" + shape(tree, n) + "}";
    }
    return out;
}

} // namespace

TEST(tviRouteSnapshot, FoldersAndFootprintsMoveCopyAndPasteWhereTheyAreDropped)
{
    Fixture f;
    f.open();
    tviRSSItemSet* one = f.route->addFootprint(f.route3("http://1/"), "one", false);
    tviRSSItemSet* two = f.route->addFootprint(f.route3("http://2/"), "two", false);
    tviRSSItemSet* three = f.route->addFootprint(f.route3("http://3/"), "three", false);
    auto* box = static_cast<tviRSSFolder*>(f.tree.adopt(std::make_unique<tviRSSFolder>(&f.tree)));
    box->setName("box");
    ASSERT_TRUE(one && two && three && box->insertItem(f.route->getHandle(), kTreeLast));
    TreeNode cabinet = f.route->getHandle();
    EXPECT_EQ(shape(f.tree, cabinet), "three two one box{}");
    EXPECT_FALSE(runCommand(three, codeOf(utlCommand::moveUp), true));
    ASSERT_TRUE(runCommand(one, codeOf(utlCommand::moveUp)));
    ASSERT_TRUE(runCommand(two, codeOf(utlCommand::moveDown))); // into the empty folder
    EXPECT_EQ(shape(f.tree, cabinet), "three one box{two}");
    // Dropped on a footprint: right behind it, not at the end.
    ASSERT_TRUE(runCommand(three, codeOf(utlCommand::cut)));
    ASSERT_TRUE(runCommand(one, codeOf(utlCommand::paste)));
    EXPECT_EQ(shape(f.tree, cabinet), "one three box{two}");
    // Copies of a footprint (with its pages) and of a folder.
    ASSERT_TRUE(runCommand(one, codeOf(utlCommand::copy)));
    f.tree.expand(box->getHandle(), true);
    ASSERT_TRUE(runCommand(box, codeOf(utlCommand::paste)));
    ASSERT_TRUE(runCommand(box, codeOf(utlCommand::copy)));
    ASSERT_TRUE(runCommand(f.route, codeOf(utlCommand::paste)));
    EXPECT_EQ(shape(f.tree, cabinet), "box{one two} one three box{one two}");
    std::vector<std::string> route = f.chain(one);
    EXPECT_EQ(route.size(), 3u);
    auto* copied = f.tree.getItem(f.tree.getFirstChild(f.tree.getFirstChild(cabinet)));
    EXPECT_EQ(f.chain(copied), route);
    // Out of a folder at its edge.
    ASSERT_TRUE(runCommand(copied, codeOf(utlCommand::moveUp)));
    EXPECT_EQ(shape(f.tree, cabinet), "one box{two} one three box{one two}");
    // Written at once, read back the same.
    f.open();
    EXPECT_EQ(shape(f.tree, f.route->getHandle()), "one box{two} one three box{one two}");
    EXPECT_EQ(f.chain(f.tree.getItem(f.tree.getFirstChild(f.route->getHandle()))), route);
}

// Undo of a deleted footprint folder or footprint brings back what was below it, and the file
// holds it again.
TEST(tviRouteSnapshot, UndoDeleteRestoresFoldersAndFootprintsWhole)
{
    Fixture f;
    f.open();
    f.tree.dialogData = tviDialogData{"folder", "", "note", true, true};
    bool handled = false;
    ASSERT_TRUE(f.route->executeCommand(codeOf(utlCommand::newFolderConfirmed), false, handled));
    TreeNode folderNode = f.tree.getFirstChild(f.route->getHandle());
    tviTreeViewItem* folder = f.tree.getItem(folderNode);
    tviRSSItemSet* one = f.route->addFootprint(f.route3("http://a/"), "one", true);
    tviRSSItemSet* two = f.route->addFootprint(f.route3("http://b/"), "two", false);
    ASSERT_TRUE(one && two);
    two->setDescription("two's note");
    two->setMarked(true);
    ASSERT_TRUE(one->moveTo(folderNode, kTreeLast));
    ASSERT_TRUE(two->moveTo(folderNode, kTreeLast));
    ASSERT_TRUE(f.route->save());
    const std::string file = f.home.dir() + "Footprint.scb";
    const std::string whole = testsupport::readFile(file);
    const std::vector<std::string> chainOne = f.chain(one);
    ASSERT_EQ(3u, chainOne.size());
    for (tviTreeViewItem* gone : std::initializer_list<tviTreeViewItem*>{folder, one, two}) {
        ASSERT_TRUE(gone->executeCommand(codeOf(utlCommand::deleteItem), false, handled))
            << gone->getText();
        EXPECT_NE(whole, testsupport::readFile(file));
        ASSERT_TRUE(f.tree.undoDelete()) << gone->getText();
        EXPECT_EQ(whole, testsupport::readFile(file)) << gone->getText();
    }
    EXPECT_EQ(chainOne, f.chain(one));
    f.open();
    ASSERT_TRUE(f.route->save());
    EXPECT_EQ(whole, testsupport::readFile(file));
}

// A footprint whose create-date is empty or unreadable is never dropped nor coloured, however
// old; deletion days below 1 count as 1, as they do for snapshots.
TEST(tviRouteSnapshot, UnknownCreationDateNeverExpiresAndDaysAreAtLeastOne)
{
    Fixture f;
    f.open();
    tviRSSItemSet* dated = f.route->addFootprint(f.route3("http://dated/"), "dated", true);
    tviRSSItemSet* undated = f.route->addFootprint(f.route3("http://undated/"), "undated", true);
    ASSERT_TRUE(dated && undated);
    ASSERT_TRUE(f.route->save());
    std::string file = f.home.dir() + "Footprint.scb";
    std::string bytes = testsupport::readFile(file);
    // The first footprint in the file is the newest, "undated": its date is spoilt.
    size_t at = bytes.find("create-date=\"");
    ASSERT_NE(std::string::npos, at);
    size_t end = bytes.find('"', at + 13);
    for (const std::string& spoilt : {std::string(), std::string("not a date")}) {
        std::string changed = bytes.substr(0, at + 13) + spoilt + bytes.substr(end);
        testsupport::writeFile(file, changed);
        f.open();
        f.route->setDeleteDay(0);
        EXPECT_EQ(1, f.route->getDeleteDay());
        f.now = kStart + 400 * kDay;
        tviFootprintDocument doc;
        f.route->toDocument(doc);
        std::vector<std::string> kept;
        for (const tviFootprintEntry& e : doc.entries)
            if (e.type == typeRSSItemSet)
                kept.push_back(e.name);
        EXPECT_EQ(std::vector<std::string>{"undated"}, kept) << spoilt;
        auto* set =
            static_cast<tviRSSItemSet*>(f.tree.getItem(f.tree.getFirstChild(f.route->getHandle())));
        EXPECT_EQ("undated", set->getName());
        EXPECT_FALSE(set->isSpecial());
        f.now = kStart;
    }
}

#ifdef QUILLARA_CLI
// quillara-cli footprints lists what it could read of a damaged or foreign file and exits 2
// with the reason, as tree does for a cabinet; a whole file exits 0.
TEST(tviRouteSnapshot, FootprintsCommandFailsOnADamagedOrForeignFile)
{
    Fixture f;
    std::string file = f.home.dir() + "Data/Footprint.scb";
    std::filesystem::create_directories(f.home.dir() + "Data");
    f.route =
        static_cast<tviRouteSnapshot*>(f.tree.adopt(std::make_unique<tviRouteSnapshot>(&f.tree)));
    f.route->insertItem(kTreeRoot, kTreeLast);
    f.route->setFilePath(file);
    ASSERT_NE(nullptr, f.route->addFootprint(f.route3("http://a/"), "one", false));
    std::string whole = testsupport::readFile(file);
    auto run = [](std::string& err) {
        FILE* pipe = popen((std::string(QUILLARA_CLI) + " footprints 2>&1").c_str(), "r");
        char buffer[4096];
        size_t n = 0;
        while (pipe != nullptr && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            err.append(buffer, n);
        int status = pipe != nullptr ? pclose(pipe) : -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    struct Case {
        const char* what;
        std::string bytes;
        int exit;
    } cases[] = {
        {"whole", whole, 0},
        {"cut short", whole.substr(0, whole.find("<DL>", whole.find("<H4")) + 2), 2},
        {"foreign", "<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY><DL></DL></BODY></HTML>", 2},
    };
    for (const Case& c : cases) {
        testsupport::writeFile(file, c.bytes);
        std::string out;
        EXPECT_EQ(c.exit, run(out)) << c.what << "\n" << out;
        EXPECT_EQ(c.exit != 0, out.find("quillara-cli: " + file) != std::string::npos)
            << c.what << "\n"
            << out;
    }
}
#endif
