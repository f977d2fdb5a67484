#include "TreeViewItem/Base/tviTreeSearch.h"

#include "Engine/Text/utlStatusText.h"
#include "Platform/platformText.h"
#include "TestSupport.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinetFolder.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Cabinet/tviQuillaraCabinet.h"
#include "TreeViewItem/Base/tviSubItem.h"

#include <gtest/gtest.h>

namespace {

// Texts are written in UTF-8 here for reading and turned into Shift_JIS as the core holds them.
std::string sj(const char* utf8)
{
    return platform::utf8ToSjis(utf8);
}

struct StatusSink : utlStatusBarSink {
    std::string text;
    int pane = -1;
    void showStatusText(const std::string& t, int p) override
    {
        text = t;
        pane = p;
    }
};

// Quillara
//   Folder        comment "ＡＢＣ のメモ"
//     テスト       http://ex.com/abc   marked
//     Other       http://ex.com/q     title "Ｘｙｚ", keywords "コーヒー", failed
//   陰            http://h/p
//     link        (sub-item)          http://h/sub  failed
//   end           http://h/xyz        marked
struct TreeSearch : ::testing::Test {
    testsupport::TempHome home;
    ctrlMemoryTreeView tree;
    StatusSink status;
    tviQuillaraCabinet* cabinet = nullptr;
    tviCabinetFolder* folder = nullptr;
    tviCabinetItem* test = nullptr;
    tviCabinetItem* other = nullptr;
    tviCabinetItem* kanji = nullptr;
    tviSubItem* link = nullptr;
    tviCabinetItem* last = nullptr;

    void SetUp() override
    {
        cabinet = tviQuillaraCabinet::openDefault(&tree, home.dir());
        folder = add<tviCabinetFolder>(cabinet, "Folder");
        folder->setDescription(sj("ＡＢＣ のメモ"));
        test = item(folder, sj("テスト"), "http://ex.com/abc");
        test->setMarked(true);
        other = item(folder, "Other", "http://ex.com/q");
        other->setTitle(sj("Ｘｙｚ"));
        other->setKeywords(sj("コーヒー"));
        other->setStatus(clsRequestStatus::failed);
        kanji = item(cabinet, sj("陰"), "http://h/p");
        link =
            static_cast<tviSubItem*>(tree.adopt(std::make_unique<tviSubItem>(&tree, typeSubItem)));
        link->setLinkText("link");
        link->setUrl("http://h/sub");
        link->setStatus(clsRequestStatus::failed);
        link->insertItem(kanji->getHandle(), kTreeLast);
        last = item(cabinet, "end", "http://h/xyz");
        last->setMarked(true);
        setStatusBar(&status);
    }
    void TearDown() override { clearStatusBar(); }

    template <class T>
    T* add(tviTreeViewItem* parent, const std::string& name)
    {
        auto* made = static_cast<T*>(tree.adopt(std::make_unique<T>(&tree)));
        made->setName(name);
        made->insertItem(parent->getHandle(), kTreeLast);
        return made;
    }
    tviCabinetItem* item(tviTreeViewItem* parent, const std::string& name, const std::string& url)
    {
        tviCabinetItem* made = add<tviCabinetItem>(parent, name);
        made->setUrl(url);
        return made;
    }
    // The texts of the nodes a search visits one match after another from the selection.
    std::string walk(tviSearchRequest request, tviTreeViewItem* start)
    {
        tree.selectNode(start != nullptr ? start->getHandle() : nullptr);
        std::string out;
        while (tviTreeSearch::run(tree, request)) {
            out += (out.empty() ? "" : ",") + tree.getItem(tree.getSelection())->getText();
        }
        return out;
    }
};

} // namespace

TEST_F(TreeSearch, WalksInDocumentOrderBothWaysWithoutWrapping)
{
    std::string down;
    for (TreeNode n = tviTreeSearch::nextNode(tree, kTreeRoot); n;
         n = tviTreeSearch::nextNode(tree, n))
        down += tree.getItem(n)->getText() + "|";
    std::string up;
    for (TreeNode n = tviTreeSearch::previousNode(tree, kTreeRoot); n;
         n = tviTreeSearch::previousNode(tree, n))
        up = tree.getItem(n)->getText() + "|" + up;
    EXPECT_EQ(down, up); // up is the exact reverse: a parent after all of its children
    EXPECT_EQ(cabinet->getText() + "|Folder|" + sj("テスト") + "|Other|" + sj("陰") + "|link|end|",
              down);
}

TEST_F(TreeSearch, TextMatchesAnyWordInAnySelectedFieldInAnyWidthOrCase)
{
    struct Case {
        const char* text;
        int options;
        const char* direction; // "down" from the cabinet or "up" from the last node
        std::string expected;  // the names found one after the other
    } cases[] = {
        {"abc xyz", searchAllFields, "down", "Folder," + sj("テスト") + ",Other,end"},
        {"abc xyz", searchName, "down", ""},
        {"ABC", searchComment, "down", "Folder"},
        {"ａｂｃ", searchUrl, "down", sj("テスト")},
        {"ﾃｽﾄ", searchName, "down", sj("テスト")}, // half-width kana finds full-width
        {"ｺ-ﾋｰ", searchKeywords, "down", "Other"}, // the long vowel mark in any form
        {"XYZ", searchTitle, "down", "Other"},
        {"XYZ", searchTitle | searchUrl, "up", "Other"}, // the start is not tested
        {"a", searchName, "down", ""},                   // never inside a kanji (陰 is 0x89 0x41)
        {"a", searchUrl, "down", sj("テスト")},
        {"LINK", searchName, "down", "link"}, // sub-items are searched too
        {"   ", searchAllFields, "down", ""}, // no words, no match
    };
    for (const Case& c : cases) {
        tviSearchRequest request;
        request.text = sj(c.text);
        request.options = c.options;
        bool down = std::string(c.direction) == "down";
        request.direction = down ? tviSearchDirection::down : tviSearchDirection::up;
        EXPECT_EQ(c.expected, walk(request, down ? static_cast<tviTreeViewItem*>(cabinet) : last))
            << c.text << " options " << c.options;
    }
}

TEST_F(TreeSearch, MarkAndDeadLinkModesInBothDirections)
{
    tviSearchRequest request;
    request.mode = tviSearchMode::mark;
    EXPECT_EQ(sj("テスト") + ",end", walk(request, nullptr));
    request.direction = tviSearchDirection::up;
    EXPECT_EQ(sj("テスト"), walk(request, last));
    request.mode = tviSearchMode::deadLink;
    EXPECT_EQ("link,Other", walk(request, last));
    request.direction = tviSearchDirection::down;
    EXPECT_EQ("Other,link", walk(request, cabinet));
}

TEST_F(TreeSearch, NothingFoundKeepsTheSelectionAndSaysSoInTheStatusBar)
{
    struct Case {
        tviSearchMode mode;
        tviSearchDirection direction;
        tviTreeViewItem* from;
        const char* message;
    } cases[] = {
        {tviSearchMode::text, tviSearchDirection::up, cabinet, "検索が終了しました。"},
        {tviSearchMode::mark, tviSearchDirection::down, last, "マーク検索が終了しました。"},
        {tviSearchMode::deadLink, tviSearchDirection::down, link,
         "デッドリンク検索が終了しました。"},
    };
    for (const Case& c : cases) {
        tree.selectNode(c.from->getHandle());
        status.text.clear();
        tviSearchRequest request{c.mode, c.direction, "Folder", searchAllFields};
        EXPECT_FALSE(tviTreeSearch::run(tree, request));
        EXPECT_EQ(c.from->getHandle(), tree.getSelection());
        EXPECT_EQ(sj(c.message), status.text);
        EXPECT_EQ(statusPaneWhole, status.pane);
    }
}

TEST_F(TreeSearch, HistoryPutsTheLatestFirstAndDropsAnOlderEntryThatBeginsWithIt)
{
    std::vector<std::string> history;
    for (const char* text : {"abc", "xyz", "ab", "", "XY"}) // an empty search keeps the list
        tviTreeSearch::addToHistory(history, text);
    EXPECT_EQ((std::vector<std::string>{"XY", "ab"}), history);
    tviTreeSearch::addToHistory(history, "ab");
    EXPECT_EQ((std::vector<std::string>{"ab", "XY"}), history);
    // Double-byte characters compare whole: the trail byte of 陰 (0x89 0x41) is no 'A' that
    // would match the 0x61 of 餌, while an ASCII word still drops its longer form.
    history = {sj("餌を"), "Word list"};
    tviTreeSearch::addToHistory(history, sj("陰"));
    tviTreeSearch::addToHistory(history, "word");
    EXPECT_EQ((std::vector<std::string>{"word", sj("陰"), sj("餌を")}), history);
    tviTreeSearch::addToHistory(history, sj("餌"));
    EXPECT_EQ((std::vector<std::string>{sj("餌"), "word", sj("陰")}), history);
}

TEST_F(TreeSearch, NewItemAndFolderGoOnlyWhereACabinetKeepsThem)
{
    using enum utlCommand;
    tree.dialogData = tviDialogData{"made", "http://h/new", "", false, true};
    bool handled = false;
    // On a sub-item the new item goes beside the cabinet item that shows it, not among links.
    ASSERT_TRUE(link->executeCommand(codeOf(newItemConfirmed), false, handled));
    EXPECT_TRUE(handled);
    TreeNode made = tree.getNextSibling(kanji->getHandle());
    ASSERT_NE(nullptr, made);
    EXPECT_EQ("made", tree.getItem(made)->getText());
    EXPECT_EQ(cabinet->getHandle(), tree.getParent(made));
    EXPECT_TRUE(cabinet->isChanged());
    // In a read-only cabinet nothing is offered, on the cabinet, its items or their links.
    auto* locked = static_cast<tviCabinet*>(tree.adopt(std::make_unique<tviCabinet>(&tree)));
    locked->setName("locked");
    locked->insertItem(kTreeRoot, kTreeLast);
    tviCabinetItem* inLocked = item(locked, "in", "http://h/in");
    auto* sub =
        static_cast<tviSubItem*>(tree.adopt(std::make_unique<tviSubItem>(&tree, typeSubItem)));
    sub->insertItem(inLocked->getHandle(), kTreeLast);
    locked->setReadOnly(true);
    size_t count = tree.itemCount();
    for (tviTreeViewItem* target :
         {static_cast<tviTreeViewItem*>(locked), static_cast<tviTreeViewItem*>(inLocked),
          static_cast<tviTreeViewItem*>(sub)}) {
        for (utlCommand code : {newItem, newFolder, newItemConfirmed, newFolderConfirmed}) {
            handled = true;
            EXPECT_TRUE(target->executeCommand(codeOf(code), false, handled));
            EXPECT_FALSE(handled) << target->getText() << " " << codeOf(code);
        }
    }
    EXPECT_EQ(count, tree.itemCount());
}

TEST_F(TreeSearch, PasteOntoAFolderGoesWhereTheUserChose)
{
    using enum utlCommand;
    bool handled = false;
    struct Case {
        tviPastePlace place;
        std::string folderChildren;
    } cases[] = {
        {tviPastePlace::cancel, sj("テスト") + ",Other"},
        {tviPastePlace::inside, "end," + sj("テスト") + ",Other"},
        {tviPastePlace::below, sj("テスト") + ",Other"},
    };
    for (const Case& c : cases) {
        tree.pastePlaceAnswer = c.place;
        ASSERT_TRUE(last->executeCommand(codeOf(cut), false, handled));
        ASSERT_TRUE(folder->executeCommand(codeOf(paste), false, handled));
        std::string names;
        for (TreeNode n = tree.getFirstChild(folder->getHandle()); n; n = tree.getNextSibling(n))
            names += (names.empty() ? "" : ",") + tree.getItem(n)->getText();
        EXPECT_EQ(c.folderChildren, names);
    }
    EXPECT_EQ(last->getHandle(), tree.getNextSibling(folder->getHandle()));
}
