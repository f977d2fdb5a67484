#include "TreeViewItem/Cabinet/tviCabinet.h"

#include "Platform/AtomicFile.h"
#include "TestSupport.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetFolder.h"
#include "TreeViewItem/Cabinet/tviCabinetGenerator.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Cabinet/tviQuillaraCabinet.h"
#include "TreeViewItem/Base/tviSubItem.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using enum utlCommand;

tviCabinetEntry entry(int type, std::string name, int parent = -1)
{
    tviCabinetEntry e;
    e.type = type;
    e.name = std::move(name);
    e.parent = parent;
    if (type == 4) {
        e.url = "http://h/" + e.name;
    }
    return e;
}

struct Fixture : ::testing::Test {
    testsupport::TempHome home;
    ctrlMemoryTreeView tree;
    tviQuillaraCabinet* quillara = nullptr;

    void SetUp() override { quillara = tviQuillaraCabinet::openDefault(&tree, home.dir()); }

    // A cabinet file holding entries, opened behind the last root.
    tviCabinet* open(const std::string& file, const std::vector<tviCabinetEntry>& entries)
    {
        tviCabinetDocument doc;
        doc.name = file;
        doc.entries = entries;
        testsupport::writeFile(home.path() / file, tviCabinetFile::write(doc));
        return openRaw(file);
    }

    tviCabinet* openRaw(const std::string& file)
    {
        auto owned = std::make_unique<tviCabinet>(&tree);
        owned->setPath(home.dir() + file);
        auto* cabinet = static_cast<tviCabinet*>(tree.adopt(std::move(owned)));
        cabinet->insertAndLoad(kTreeRoot, kTreeLast);
        return cabinet;
    }

    // Names of the children of node, in order.
    std::string names(TreeNode node)
    {
        std::string out;
        for (TreeNode c = tree.getFirstChild(node); c != nullptr; c = tree.getNextSibling(c)) {
            if (!out.empty())
                out += ',';
            out += tree.getItem(c)->getText();
        }
        return out;
    }

    tviTreeViewItem* child(TreeNode node, const std::string& name)
    {
        for (TreeNode n : tree.subtreeNodes(node)) {
            if (tree.getItem(n) != nullptr && tree.getItem(n)->getText() == name) {
                return tree.getItem(n);
            }
        }
        return nullptr;
    }

    bool run(tviTreeViewItem* item, utlCommand command, bool query = false)
    {
        bool handled = false;
        EXPECT_TRUE(item->executeCommand(codeOf(command), query, handled));
        return handled;
    }
};

using tviCabinetModel = Fixture;

} // namespace

TEST_F(tviCabinetModel, DefaultCabinetIsCreatedWhenMissingAndCannotGo)
{
    std::string bytes = testsupport::readFile(home.path() / "Quillara.scb");
    tviCabinetDocument doc;
    std::string error;
    ASSERT_TRUE(tviCabinetFile::read(bytes, doc, error)) << error;
    EXPECT_EQ(quillara->getName(), doc.name);
    EXPECT_FALSE(quillara->isReadOnly());
    EXPECT_EQ(quillara->getHandle(), tree.getFirstChild(kTreeRoot));
    EXPECT_FALSE(run(quillara, deleteItem, true));
    EXPECT_FALSE(run(quillara, cut, true));
    EXPECT_TRUE(run(quillara, newItem, true));
}

TEST_F(tviCabinetModel, MoveUpAndDownFollowTheFolderAndCabinetRules)
{
    tviCabinet* c = open("c.scb", {entry(4, "A"), entry(3, "F"), entry(4, "x", 1), entry(4, "B")});
    ASSERT_FALSE(c->isReadOnly()) << c->getLoadError();
    tviTreeViewItem* b = child(c->getHandle(), "B");
    tviTreeViewItem* f = child(c->getHandle(), "F");
    struct Step {
        utlCommand command;
        std::string cabinet; // children of c after the step
        std::string folder;  // children of F
    } steps[] = {
        {moveUp, "A,B,F", "x"}, // over a collapsed folder with children
        {moveUp, "B,A,F", "x"}, // over an item
        {moveDown, "A,B,F", "x"},
        {moveDown, "A,F,B", "x"}, // over the collapsed folder again
    };
    for (const Step& s : steps) {
        EXPECT_TRUE(run(b, s.command));
        EXPECT_EQ(s.cabinet, names(c->getHandle()));
        EXPECT_EQ(s.folder, names(f->getHandle()));
    }
    tree.expand(f->getHandle(), true);
    EXPECT_TRUE(run(b, moveUp)); // into the expanded folder, as its last child
    EXPECT_EQ("x,B", names(f->getHandle()));
    EXPECT_TRUE(run(b, moveDown)); // out of it again, behind the folder
    EXPECT_EQ("A,F,B", names(c->getHandle()));
    tviTreeViewItem* a = child(c->getHandle(), "A");
    EXPECT_TRUE(run(a, moveUp)); // over the top of a cabinet: to the end of the one above
    EXPECT_EQ("A", names(quillara->getHandle()));
    EXPECT_TRUE(run(a, moveDown)); // and back to the top of the next cabinet
    EXPECT_EQ("A,F,B", names(c->getHandle()));
    EXPECT_EQ("", names(quillara->getHandle()));
    EXPECT_TRUE(run(a, moveUp));
    EXPECT_FALSE(run(a, moveUp, true)); // no cabinet above the default one
}

// Going down, the cabinets end at the first root that is not a cabinet: from the default
// cabinet's last item the snapshots stand next, and a cabinet opened behind them is not the
// next one. Going up, the nearest writable cabinet above is still found past them.
TEST_F(tviCabinetModel, MoveDownStopsAtTheFirstRootThatIsNoCabinet)
{
    ASSERT_NE(tviPageSnapshot::openDefault(&tree, home.dir(), nullptr), nullptr);
    tviCabinet* c = open("c.scb", {entry(4, "A"), entry(4, "B")});
    tviTreeViewItem* a = child(c->getHandle(), "A");
    EXPECT_TRUE(run(a, moveUp));
    EXPECT_EQ("A", names(quillara->getHandle()));
    EXPECT_FALSE(run(a, moveDown, true));
    EXPECT_FALSE(run(a, moveDown));
    EXPECT_EQ("A", names(quillara->getHandle()));
    EXPECT_EQ("B", names(c->getHandle()));
}

TEST_F(tviCabinetModel, RejectsPasteOrDropOntoItselfOrItsOwnDescendant)
{
    tviCabinet* c =
        open("c.scb", {entry(3, "F"), entry(3, "G", 0), entry(4, "x", 1), entry(4, "B")});
    tviTreeViewItem* f = child(c->getHandle(), "F");
    tviTreeViewItem* g = child(c->getHandle(), "G");
    tviTreeViewItem* x = child(c->getHandle(), "x");
    size_t before = tree.itemCount();
    for (utlCommand mode : {cut, copy}) {
        EXPECT_TRUE(run(f, mode));
        for (tviTreeViewItem* target : {f, g, x}) {
            EXPECT_FALSE(run(target, paste, true)) << target->getText();
            EXPECT_FALSE(run(target, paste)) << target->getText();
        }
    }
    EXPECT_EQ(before, tree.itemCount());
    EXPECT_EQ("F,B", names(c->getHandle()));
    // Elsewhere the same entry goes: a copy of the folder with everything below it.
    tviTreeViewItem* b = child(c->getHandle(), "B");
    EXPECT_TRUE(run(b, paste));
    EXPECT_EQ("F,B,F", names(c->getHandle()));
    EXPECT_EQ(before + 3, tree.itemCount());
    EXPECT_EQ(nullptr, tree.clipboardItem());
}

TEST_F(tviCabinetModel, ClipboardForgetsAnItemWhoseAncestorIsDeleted)
{
    tviCabinet* c = open("c.scb", {entry(3, "F"), entry(4, "x", 0), entry(4, "B")});
    tviTreeViewItem* x = child(c->getHandle(), "x");
    tviTreeViewItem* f = child(c->getHandle(), "F");
    tviTreeViewItem* b = child(c->getHandle(), "B");
    EXPECT_TRUE(run(x, cut));
    EXPECT_EQ(x, tree.clipboardItem());
    EXPECT_TRUE(run(f, deleteItem));
    EXPECT_EQ(nullptr, tree.clipboardItem());
    EXPECT_FALSE(run(b, paste, true));
    EXPECT_FALSE(run(b, paste));
    // The deleted folder waits in the deletion buffer; the next deletion destroys it for good.
    EXPECT_EQ(f, tree.deletedItem());
    EXPECT_TRUE(run(b, copy));
    EXPECT_EQ("http://h/B", tree.clipboardText());
    EXPECT_TRUE(run(b, deleteItem));
    EXPECT_FALSE(tree.owns(f));
    EXPECT_EQ(nullptr, tree.clipboardItem());
    EXPECT_EQ("", names(c->getHandle()));
    EXPECT_TRUE(tree.undoDelete());
    EXPECT_EQ("B", names(c->getHandle()));
}

// Closing a cabinet writes its edits first; when they cannot be written the cabinet stays
// open with them, since the deletion buffer would drop them at the next delete.
TEST_F(tviCabinetModel, CabinetWhoseEditsCannotBeWrittenStaysOpen)
{
    tviCabinet* c = open("c.scb", {entry(4, "A"), entry(4, "B")});
    EXPECT_TRUE(run(child(c->getHandle(), "A"), deleteItem));
    ASSERT_TRUE(c->isChanged());
    // A directory where the file was: no lock, no merge, no rename can write it.
    std::filesystem::remove(home.path() / "c.scb");
    std::filesystem::create_directory(home.path() / "c.scb");
    bool handled = false;
    EXPECT_FALSE(c->executeCommand(codeOf(deleteItem), false, handled));
    EXPECT_TRUE(tree.owns(c));
    EXPECT_NE(nullptr, c->getHandle());
    EXPECT_NE(c, tree.deletedItem());
    EXPECT_EQ("B", names(c->getHandle()));
    EXPECT_TRUE(c->isChanged());
}

// Undo of a deleted folder brings back everything that was below it: names, addresses,
// descriptions, marks, statuses, order and the expanded folders; the links found on a page
// are made again from the page, never kept.
TEST_F(tviCabinetModel, UndoDeleteRestoresTheWholeSubtree)
{
    std::vector<tviCabinetEntry> entries = {entry(4, "A"),    entry(3, "F"),    entry(4, "x", 1),
                                            entry(3, "G", 1), entry(4, "y", 3), entry(4, "z", 3),
                                            entry(4, "w", 1), entry(4, "B")};
    entries[2].description = "line one\r\nline two";
    entries[2].status = 5;
    entries[3].marked = true;
    entries[3].description = "g note";
    entries[4].title = "title y";
    entries[4].keyword = "k";
    entries[5].marked = true;
    tviCabinet* c = open("c.scb", entries);
    ASSERT_FALSE(c->isReadOnly()) << c->getLoadError();
    auto text = [&] {
        tviCabinetDocument doc;
        c->toDocument(doc);
        return tviCabinetFile::write(doc);
    };
    const std::string whole = text();
    tviTreeViewItem* f = child(c->getHandle(), "F");
    tviTreeViewItem* g = child(c->getHandle(), "G");
    tviTreeViewItem* x = child(c->getHandle(), "x");
    tree.expand(f->getHandle(), true);
    tree.expand(g->getHandle(), true);
    auto link = std::make_unique<tviSubItem>(&tree, typeSubItem);
    link->setUrl("http://h/found");
    tviTreeViewItem* found = tree.adopt(std::move(link));
    ASSERT_TRUE(found->insertItem(x->getHandle(), kTreeLast));
    for (tviTreeViewItem* gone : {f, g, x}) {
        std::string parentNames = names(tree.getParent(gone->getHandle()));
        EXPECT_TRUE(run(gone, deleteItem)) << gone->getText();
        EXPECT_NE(whole, text());
        ASSERT_TRUE(tree.undoDelete()) << gone->getText();
        EXPECT_EQ(whole, text()) << gone->getText();
        EXPECT_EQ(parentNames, names(tree.getParent(gone->getHandle())));
        EXPECT_EQ(gone->getHandle(), tree.getSelection());
    }
    EXPECT_TRUE(tree.isExpanded(f->getHandle()));
    EXPECT_TRUE(tree.isExpanded(g->getHandle()));
    EXPECT_EQ(overlayError, tree.getOverlay(x->getHandle()));
    EXPECT_FALSE(tree.owns(found));
    EXPECT_EQ("", names(x->getHandle()));
    // The file written after the undo holds the whole subtree again.
    ASSERT_TRUE(c->save());
    tviCabinetDocument doc;
    std::string error;
    ASSERT_TRUE(tviCabinetFile::read(testsupport::readFile(home.path() / "c.scb"), doc, error))
        << error;
    EXPECT_EQ(whole, tviCabinetFile::write(doc));
    // The next deletion destroys the kept subtree for good.
    size_t before = tree.itemCount();
    EXPECT_TRUE(run(f, deleteItem));
    EXPECT_TRUE(run(child(c->getHandle(), "A"), deleteItem));
    EXPECT_EQ(before - 6, tree.itemCount()); // F, x, G, y, z and w
}

TEST_F(tviCabinetModel, ReadOnlyOrPartlyReadCabinetIsNeverWrittenOver)
{
    std::string full = tviCabinetFile::write(tviCabinetGenerator::generate(30, 9));
    struct Case {
        std::string file;
        std::string bytes;
    } cases[] = {
        {"cut.scb", full.substr(0, full.size() / 2)},
        {"foreign.scb", "<TITLE>t</TITLE><DL><DT><A HREF=\"http://x/\">x</A></DL>"},
        {"nul.scb", full.substr(0, 500) + std::string(1, '\0') + full.substr(500)},
    };
    for (const Case& k : cases) {
        testsupport::writeFile(home.path() / k.file, k.bytes);
        tviCabinet* c = openRaw(k.file);
        EXPECT_TRUE(c->isReadOnly()) << k.file;
        EXPECT_FALSE(c->getLoadError().empty()) << k.file;
        EXPECT_EQ(overlayReadOnly, tree.getOverlay(c->getHandle()));
        TreeNode first = tree.getFirstChild(c->getHandle());
        ASSERT_NE(nullptr, first) << k.file;
        tviTreeViewItem* item = tree.getItem(first);
        EXPECT_FALSE(run(item, newItem, true));
        EXPECT_FALSE(run(item, cut, true));
        EXPECT_FALSE(run(c, paste, true));
        EXPECT_TRUE(run(item, mark)); // marks are allowed but never reach the file
        EXPECT_FALSE(c->save());
    }
    EXPECT_TRUE(tree.saveAll());
    for (const Case& k : cases) {
        EXPECT_EQ(k.bytes, testsupport::readFile(home.path() / k.file)) << k.file;
    }
    // Saved elsewhere, the part that was read becomes a writable cabinet.
    tviCabinet* c =
        static_cast<tviCabinet*>(tree.getItem(tree.getNextSibling(quillara->getHandle())));
    ASSERT_TRUE(c->saveAs(home.dir() + "rescued.scb"));
    EXPECT_FALSE(c->isReadOnly());
    tviCabinetDocument doc;
    std::string error;
    EXPECT_TRUE(
        tviCabinetFile::read(testsupport::readFile(home.path() / "rescued.scb"), doc, error));
}

TEST_F(tviCabinetModel, ChangedCabinetIsSavedShortlyAfterTheChange)
{
    tviCabinet* c = open("c.scb", {entry(4, "A"), entry(4, "B")});
    std::string before = testsupport::readFile(home.path() / "c.scb");
    tviTreeViewItem* a = child(c->getHandle(), "A");
    EXPECT_TRUE(run(a, mark));
    ASSERT_TRUE(c->isChanged());
    int64_t at = c->changedAt();
    EXPECT_TRUE(tree.saveDueCabinets(at + tree.saveDelayMs - 1));
    EXPECT_EQ(before, testsupport::readFile(home.path() / "c.scb"));
    EXPECT_TRUE(tree.saveDueCabinets(at + tree.saveDelayMs));
    EXPECT_FALSE(c->isChanged());
    std::string after = testsupport::readFile(home.path() / "c.scb");
    EXPECT_NE(std::string::npos, after.find("mark=\"1\""));
    // Nothing changed since: nothing is written again.
    std::filesystem::remove(home.path() / "c.scb");
    EXPECT_TRUE(tree.saveDueCabinets(at + 100000));
    EXPECT_FALSE(std::filesystem::exists(home.path() / "c.scb"));
}

// Another program removes items the window still has: an untouched one goes with them, one
// whose note or mark the user changed meanwhile stays, with the note as it was typed.
TEST_F(tviCabinetModel, ItemRemovedByAnotherProgramStaysWhenTheUserChangedIt)
{
    tree.mergeChangedFiles = true;
    tviCabinet* c = open("c.scb", {entry(4, "untouched"), entry(4, "noted"), entry(4, "marked")});
    auto edit = [&](const std::string& name, const std::string& note, bool marked) {
        tviTreeViewItem* item = child(c->getHandle(), name);
        ASSERT_NE(nullptr, item);
        tviDialogData data{name, "http://h/" + name, note, marked};
        ASSERT_TRUE(item->applyProperties(data));
    };
    const std::string note = "my note\r\nsecond line";
    edit("noted", note, false);
    edit("marked", "", true);
    // The other program's file: every item gone, one of its own added.
    tviCabinetDocument theirs;
    theirs.name = "c.scb";
    theirs.productMark = true;
    theirs.entries = {entry(4, "theirs")};
    std::filesystem::remove(home.path() / "c.scb");
    testsupport::writeFile(home.path() / "c.scb", tviCabinetFile::write(theirs));
    ASSERT_TRUE(c->save());
    tviCabinetDocument saved;
    std::string error;
    ASSERT_TRUE(tviCabinetFile::read(testsupport::readFile(home.path() / "c.scb"), saved, error));
    std::string kept;
    for (const tviCabinetEntry& e : saved.entries)
        kept += e.name + ",";
    EXPECT_EQ("noted,marked,theirs,", kept);
    EXPECT_EQ(names(c->getHandle()), "noted,marked,theirs");
    ASSERT_EQ(3u, saved.entries.size());
    EXPECT_EQ(note, saved.entries[0].description);
    EXPECT_TRUE(saved.entries[1].marked);
    EXPECT_EQ(note, child(c->getHandle(), "noted")->getDescription());
}

TEST_F(tviCabinetModel, ShutDownSaveVisitsEveryRoot)
{
    tviCabinet* c1 = open("c1.scb", {entry(4, "A")});
    // A root that is not a cabinet (as Favorites would be) stands between two cabinets.
    auto owned = std::make_unique<tviSubItem>(&tree, typeSubItem);
    tviTreeViewItem* other = tree.adopt(std::move(owned));
    ASSERT_TRUE(other->insertItem(kTreeRoot, kTreeLast));
    tviCabinet* c2 = open("c2.scb", {entry(4, "B")});
    EXPECT_TRUE(run(child(c1->getHandle(), "A"), mark));
    EXPECT_TRUE(run(child(c2->getHandle(), "B"), mark));
    std::vector<std::string> paths;
    EXPECT_TRUE(tree.saveAll(&paths));
    EXPECT_EQ((std::vector<std::string>{home.dir() + "c1.scb", home.dir() + "c2.scb"}), paths);
    EXPECT_NE(std::string::npos, testsupport::readFile(home.path() / "c2.scb").find("mark=\"1\""));
}

TEST_F(tviCabinetModel, NewItemAndFolderFromTheDialogs)
{
    tviCabinet* c = open("c.scb", {entry(3, "F")});
    tviTreeViewItem* f = child(c->getHandle(), "F");
    tree.dialogData = {"new", "http://h/new?a&b", "line1\r\nline2", true, true};
    EXPECT_TRUE(run(f, newItemConfirmed));
    tree.dialogData = {"sub", "", "", false, true};
    EXPECT_TRUE(run(f, newFolderConfirmed));
    EXPECT_EQ("new,sub", names(f->getHandle()));
    auto* item = static_cast<tviCabinetItem*>(child(c->getHandle(), "new"));
    EXPECT_TRUE(item->isNewItem());
    EXPECT_TRUE(item->isMarked());
    EXPECT_TRUE(tree.saveAll());
    tviCabinetDocument doc;
    std::string error;
    ASSERT_TRUE(tviCabinetFile::read(testsupport::readFile(home.path() / "c.scb"), doc, error));
    ASSERT_EQ(3u, doc.entries.size());
    EXPECT_EQ("http://h/new?a&b", doc.entries[1].url);
    EXPECT_EQ("line1\r\nline2", doc.entries[1].description);
}

TEST_F(tviCabinetModel, StatusTextsAndOverlays)
{
    tviCabinetEntry failed = entry(4, "dead");
    failed.status = 5;
    tviCabinet* c = open("c.scb", {failed, entry(4, "fresh")});
    auto* dead = static_cast<tviCabinetItem*>(child(c->getHandle(), "dead"));
    std::string text;
    bool isError = false;
    dead->getStatusText(text, isError);
    EXPECT_TRUE(isError);
    EXPECT_EQ("\x91\x4f\x89\xf1\x8b\x4e\x93\xae\x8e\x9e\x83\x47\x83\x89\x81\x5b",
              text); // 前回起動時エラー
    EXPECT_EQ(overlayError, tree.getOverlay(dead->getHandle()));
    auto* fresh = static_cast<tviCabinetItem*>(child(c->getHandle(), "fresh"));
    fresh->getStatusText(text, isError);
    EXPECT_FALSE(isError);
    EXPECT_EQ("\x96\xa2\x93\xc7\x82\xdd\x8d\x9e\x82\xdd", text); // 未読み込み
    EXPECT_EQ(overlayNone, tree.getOverlay(fresh->getHandle()));
}

TEST_F(tviCabinetModel, FailedCopyLeavesNothingHalfDone)
{
    tviCabinet* c =
        open("c.scb", {entry(3, "F"), entry(4, "x", 0), entry(4, "y", 0), entry(4, "B")});
    tviTreeViewItem* f = child(c->getHandle(), "F");
    tviTreeViewItem* b = child(c->getHandle(), "B");
    size_t before = tree.itemCount();
    EXPECT_TRUE(run(f, copy));
    EXPECT_TRUE(run(b, paste, true));
    // The copy of F goes in, its second child cannot: the copy is taken back whole.
    tree.insertsBeforeFailure = 2;
    bool handled = false;
    EXPECT_FALSE(b->executeCommand(codeOf(paste), false, handled));
    EXPECT_EQ(before, tree.itemCount());
    EXPECT_EQ("F,B", names(c->getHandle()));
    EXPECT_EQ("x,y", names(f->getHandle()));
    EXPECT_EQ(f, tree.clipboardItem()); // still there to try again
    tree.insertsBeforeFailure = -1;
    EXPECT_TRUE(run(b, paste));
    EXPECT_EQ("F,B,F", names(c->getHandle()));
}

TEST_F(tviCabinetModel, DeepTreesAreBuiltSavedAndDeletedWithoutRecursion)
{
    tviCabinet* c = open("deep.scb", {});
    tviCabinetDocument deep;
    for (int i = 0; i < 10000; ++i) {
        deep.entries.push_back(entry(3, "f" + std::to_string(i), i - 1));
    }
    deep.entries.push_back(entry(4, "leaf", 9999));
    ASSERT_TRUE(c->fromDocument(std::move(deep)));
    tviCabinetDocument back;
    c->toDocument(back);
    EXPECT_EQ(10001u, back.entries.size());
    EXPECT_EQ(9999, back.entries.back().parent);
    tviTreeViewItem* top = child(c->getHandle(), "f0");
    EXPECT_TRUE(run(top, deleteItem));
    EXPECT_EQ(nullptr, tree.getFirstChild(c->getHandle()));
    EXPECT_EQ(1u, tree.nodeCount() - 1); // the default cabinet and this one remain
}

namespace {

// A cabinet's tree as text: per node its type, texts, mark, state and overlay.
std::string dumpTree(ctrlMemoryTreeView& tree, tviCabinet* cabinet)
{
    std::string out = cabinet->getText() + "|" + cabinet->getDescription() + "|" +
                      std::to_string(cabinet->isReadOnly()) + "|" +
                      std::to_string(tree.getOverlay(cabinet->getHandle())) + "\n";
    for (TreeNode n : tree.subtreeNodes(cabinet->getHandle())) {
        tviTreeViewItem* item = tree.getItem(n);
        int depth = 0;
        for (TreeNode p = tree.getParent(n); p != nullptr; p = tree.getParent(p)) {
            ++depth;
        }
        out += std::to_string(depth) + " " + std::to_string(item->getType()) + " [" +
               item->getText() + "] [" + item->getUrl() + "] [" + item->getDescription() + "] " +
               std::to_string(item->isMarked()) + std::to_string(item->isReadOnly()) +
               std::to_string(static_cast<int>(item->getStatus())) +
               std::to_string(tree.getOverlay(n)) + "\n";
    }
    return out;
}

} // namespace

// Opening a file makes the items while it is read; the tree is the one the whole document
// gives, read-only where the read stopped early or the file is not ours, also when nodes fail.
TEST_F(tviCabinetModel, LoadMakesTheTreeTheWholeDocumentMakes)
{
    std::string good = tviCabinetFile::write(tviCabinetGenerator::generate(40, 4));
    std::vector<std::string> files;
    for (size_t cut = good.size() / 3; cut <= good.size(); cut += 211) {
        files.push_back(good.substr(0, cut));
    }
    files.push_back(good);
    files.push_back(good.substr(0, 700) + std::string(1, '\0') + good.substr(700));
    files.push_back(
        "<TITLE>t</TITLE><DL><DT><H3>f</H3><DL><DT><A HREF=\"http://x/\">x</A></DL></DL>");
    std::string newer = good;
    newer.replace(newer.find("01.00.00"), 8, "01.01.00");
    files.push_back(newer);
    for (size_t i = 0; i < files.size(); ++i) {
        for (int failAfter : {-1, 7}) {
            testsupport::writeFile(home.path() / "d.scb", files[i]);
            tree.insertsBeforeFailure = failAfter;
            tviCabinet* loaded = openRaw("d.scb");
            std::string got = dumpTree(tree, loaded);

            ctrlMemoryTreeView other;
            auto owned = std::make_unique<tviCabinet>(&other);
            owned->setPath(home.dir() + "d.scb");
            auto* expected = static_cast<tviCabinet*>(other.adopt(std::move(owned)));
            other.insertsBeforeFailure = failAfter;
            ASSERT_TRUE(expected->insertItem(kTreeRoot, kTreeLast));
            tviCabinetDocument doc;
            std::string error;
            bool whole = tviCabinetFile::read(files[i], doc, error);
            bool ours = doc.productMark && !doc.newerVersion;
            expected->setReadOnly(!whole || !ours);
            expected->fromDocument(std::move(doc));
            other.setOverlay(expected->getHandle(),
                             expected->isReadOnly() ? overlayReadOnly : overlayNone);
            EXPECT_EQ(whole && ours, loaded->getLoadError().empty()) << i;
            ASSERT_EQ(dumpTree(other, expected), got)
                << "file " << i << " failing after " << failAfter;
            tree.insertsBeforeFailure = -1;
            loaded->deleteSubtree();
            tree.destroyItem(loaded);
        }
    }
}

TEST(tviTreeViewItem, OpensOnlyWebAddressesAndLocalFiles)
{
    struct Case {
        std::string url;
        bool open;
        std::string target;
    } cases[] = {
        {"http://h/a", true, "http://h/a"},
        {"HTTPS://h/a", true, "HTTPS://h/a"},
        {"ftp://h/a", true, "ftp://h/a"},
        {"file:///home/u/p.html#top", true, "/home/u/p.html"},
        {"/home/u/p.html", true, "/home/u/p.html"},
        {"-e /bin/sh", false, ""},
        {"javascript:alert(1)", false, ""},
        {"mailto:a@b", false, ""},
        {"file://host/share", false, ""},
        {"http://h/\nx", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        std::string target;
        EXPECT_EQ(c.open, tviTreeViewItem::isOpenableAddress(c.url, &target)) << c.url;
        EXPECT_EQ(c.target, target) << c.url;
    }
}

// Each kind registers itself; a type code read from a file or a paste must never come back
// as nothing because no code of that kind happened to be named by the program.
TEST(tviTreeViewItem, FactoryMakesEveryKindFromItsTypeCode)
{
    ctrlMemoryTreeView tree;
    for (int code = 0; code <= 18; ++code) {
        std::unique_ptr<tviTreeViewItem> item = tviTreeViewItem::createItem(&tree, code);
        ASSERT_NE(item, nullptr) << "type code " << code;
        EXPECT_EQ(item->getType(), code);
    }
    EXPECT_EQ(tviTreeViewItem::createItem(&tree, -1), nullptr);
    EXPECT_EQ(tviTreeViewItem::createItem(&tree, 19), nullptr);
}

TEST(tviCabinetCrashSafety, KeepsOldOrNewFileWhenSaveIsKilled)
{
    testsupport::TempHome home;
    std::string path = home.dir() + "big.scb";
    tviCabinetDocument small = tviCabinetGenerator::generate(10, 1);
    testsupport::writeFile(path, tviCabinetFile::write(small));
    ctrlMemoryTreeView tree;
    auto owned = std::make_unique<tviCabinet>(&tree);
    owned->setPath(path);
    auto* cabinet = static_cast<tviCabinet*>(tree.adopt(std::move(owned)));
    ASSERT_TRUE(cabinet->insertAndLoad(kTreeRoot, kTreeLast));
    ASSERT_TRUE(cabinet->fromDocument(tviCabinetGenerator::generate(5000, 2)));
    size_t sizes[2] = {small.entries.size(), 0};
    int newSeen = 0;
    for (int round = 0; round < 8; ++round) {
        // The child tells of every save it finished, so that the later rounds can wait for
        // one however slow the machine is.
        int saved[2];
        ASSERT_EQ(0, pipe(saved));
        pid_t child = fork();
        ASSERT_NE(-1, child);
        if (child == 0) {
            close(saved[0]);
            for (;;) {
                (void)cabinet->save(); // killed at any point; the parent checks the file
                [[maybe_unused]] ssize_t told = write(saved[1], "s", 1);
            }
        }
        close(saved[1]);
        char byte = 0;
        if (round >= 4) {
            ASSERT_EQ(1, read(saved[0], &byte, 1)) << "round " << round << ": no save finished";
        }
        usleep(10000 + round * 37000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(saved[0]);
        tviCabinetDocument doc;
        std::string error;
        ASSERT_TRUE(tviCabinetFile::read(testsupport::readFile(path), doc, error))
            << "round " << round << ": " << error;
        if (doc.entries.size() != sizes[0]) {
            sizes[1] = sizes[1] == 0 ? doc.entries.size() : sizes[1];
            EXPECT_EQ(sizes[1], doc.entries.size());
            ++newSeen;
        }
    }
    // The later rounds waited for a finished save: the new file did arrive.
    EXPECT_GT(newSeen, 0);
    // A save killed between naming its temporary and the rename leaves that temporary; the
    // next writer of the file removes it, so none is left to be mistaken for a cabinet.
    std::string error;
    ASSERT_TRUE(platform::atomicWriteFile(path, testsupport::readFile(path), &error)) << error;
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(home.path())) {
        ++files;
    }
    EXPECT_LE(files, 2u);
}
