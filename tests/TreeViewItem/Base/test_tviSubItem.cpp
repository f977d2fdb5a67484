#include "TreeViewItem/Base/tviSubItem.h"

#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Platform/MessageTarget.h"
#include "TestSupport.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Cabinet/tviCabinetFolder.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>

namespace {

struct Link {
    int kind;
    std::string address;
    std::string name;
};

// The pages of a made-up site: each address gives its links, without any network.
std::map<std::string, std::vector<Link>>& site()
{
    static std::map<std::string, std::vector<Link>> pages;
    return pages;
}

class SiteNode : public clsQuillaraItem {
public:
    bool read(bool& needsNetwork, bool) override
    {
        needsNetwork = false;
        clsUrlInformation* owner = getOwner();
        if (owner != nullptr && site().count(owner->getAddress()) == 0) {
            owner->setResultCode(404);
            owner->setStatus(clsRequestStatus::failed);
        }
        return true;
    }
    bool analyze(bool& complete) override
    {
        clsUrlInformation* owner = getOwner();
        if (owner != nullptr) {
            if (owner->getAddress().find("titled") != std::string::npos) {
                setTitle("Title");
            }
            for (const Link& l : site()[owner->getAddress()]) {
                addLink(l.kind, l.address, l.name, l.address);
            }
        }
        complete = true;
        return true;
    }
};

struct SubItems : ::testing::Test {
    testsupport::TempHome home;
    platform::QueueMessageTarget window;
    clsQuillaraEngine engine;
    ctrlMemoryTreeView tree;
    tviCabinet* cabinet = nullptr;

    void SetUp() override
    {
        clsEngineOptions options;
        options.paceIntervalMs = 0;
        options.nodeFactory = [](int) -> clsQuillaraItem* { return new SiteNode(); };
        window.setHandler([this](const platform::Message& m) { engine.handleMessage(m); });
        ASSERT_TRUE(engine.init(&tree, &window, options));
        tree.setEngine(&engine);
        auto owned = std::make_unique<tviCabinet>(&tree);
        owned->setReadOnly(false);
        cabinet = static_cast<tviCabinet*>(tree.adopt(std::move(owned)));
        ASSERT_TRUE(cabinet->insertItem(kTreeRoot, kTreeLast));
        site().clear();
    }

    void TearDown() override
    {
        engine.term();
        window.setHandler([](const platform::Message& m) { clsQuillaraEngine::DiscardMessage(m); });
        while (window.pump(0) > 0) {
        }
        tree.setEngine(nullptr);
    }

    tviCabinetItem* addItem(const std::string& url)
    {
        auto owned = std::make_unique<tviCabinetItem>(&tree);
        owned->setName(url);
        owned->setUrl(url);
        auto* item = static_cast<tviCabinetItem*>(tree.adopt(std::move(owned)));
        EXPECT_TRUE(item->insertItem(cabinet->getHandle(), kTreeLast));
        return item;
    }

    // Expands item and pumps until its page has been read.
    void expand(tviTreeViewItem* item)
    {
        bool handled = false;
        ASSERT_TRUE(item->executeCommand(codeOf(utlCommand::expand), false, handled));
        ASSERT_TRUE(handled);
        pumpUntil([&] {
            return !tree.owns(item) || item->getStatus() == clsRequestStatus::complete ||
                   item->getStatus() == clsRequestStatus::failed;
        });
    }

    void pumpUntil(const std::function<bool()>& done)
    {
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < giveUp) {
            window.pump(20);
        }
        window.pump(50);
    }

    std::string texts(TreeNode node)
    {
        std::string out;
        for (TreeNode c = tree.getFirstChild(node); c != nullptr; c = tree.getNextSibling(c)) {
            if (!out.empty())
                out += '|';
            out += tree.getItem(c)->getText();
        }
        return out;
    }
};

} // namespace

TEST_F(SubItems, LinkRulesOfTheTreeSettings)
{
    tree.settings.byNowUrl = 0;
    site()["http://h/p.html"] = {
        {0, "http://h/a.html", "A"},
        {0, "http://h/a.html", "ABC"},    // the longer description wins, found by address
        {0, "http://h/b.html", "  lead"}, // leading blanks go
        {0, "http://h/img.gif", "picture"},
        {0, "http://h/index.HTML", "index"},
        {0, "http://h/dir/", "dir"},
        {0, "mailto:x@h", "mail"},
        {18, "http://h/frame.html", "frame"},
    };
    site()["http://h/frame.html"] = {{0, "http://h/p.html", "back to the page above"},
                                     {0, "http://h/deeper.html", "deeper"}};
    tviCabinetItem* page = addItem("http://h/p.html");
    expand(page);
    EXPECT_EQ(clsRequestStatus::complete, page->getStatus());
    EXPECT_EQ("ABC|lead|picture|index|dir|mail|frame", texts(page->getHandle()));
    EXPECT_TRUE(tree.isExpanded(page->getHandle()));
    TreeNode mail = tree.getFirstChild(page->getHandle());
    for (int i = 0; i < 5; ++i) {
        mail = tree.getNextSibling(mail);
    }
    EXPECT_EQ(imageMail, tree.getItem(mail)->getImage());
    // The frame was expanded with its page; its link back to the page above is not shown.
    TreeNode frame = tree.getNextSibling(mail);
    pumpUntil([&] { return tree.getItem(frame)->getStatus() == clsRequestStatus::complete; });
    EXPECT_EQ("deeper", texts(frame));

    // Only pages: the image goes, index.HTML and the directory stay.
    tree.settings.showRes = 1;
    bool handled = false;
    ASSERT_TRUE(page->executeCommand(codeOf(utlCommand::reExpand), false, handled));
    pumpUntil([&] { return tree.getFirstChild(page->getHandle()) != nullptr; });
    EXPECT_EQ("ABC|lead|index|dir|mail|frame", texts(page->getHandle()));

    // Duplicate links: the first occurrence wins, or every occurrence is shown.
    const std::pair<int, const char*> duplicates[] = {{2, "A|lead|index|dir|mail|frame"},
                                                      {1, "A|ABC|lead|index|dir|mail|frame"}};
    for (const auto& [showDupLink, expected] : duplicates) {
        tree.settings.showDupLink = showDupLink;
        ASSERT_TRUE(page->executeCommand(codeOf(utlCommand::reExpand), false, handled));
        pumpUntil([&] { return tree.getFirstChild(page->getHandle()) != nullptr; });
        EXPECT_EQ(expected, texts(page->getHandle())) << "ShowDupLink " << showDupLink;
    }
}

// The server and domain limits know a host however its name is cased.
TEST_F(SubItems, ServerAndDomainLimitsIgnoreTheCaseOfHostNames)
{
    tree.settings.byNowUrl = 0;
    site()["http://www.Example.COM/p.html"] = {
        {0, "http://WWW.example.com/a.html", "same server"},
        {0, "http://other.EXAMPLE.com/b.html", "same domain"},
        {0, "http://elsewhere.org/c.html", "elsewhere"},
    };
    tviCabinetItem* page = addItem("http://www.Example.COM/p.html");
    const std::pair<int, const char*> limits[] = {{4, "same server"},
                                                  {3, "same server|same domain"},
                                                  {1, "same server|same domain|elsewhere"}};
    for (const auto& [limit, expected] : limits) {
        tree.settings.hostNameLimit = limit;
        bool handled = false;
        ASSERT_TRUE(page->executeCommand(codeOf(utlCommand::reExpand), false, handled));
        pumpUntil([&] { return tree.getFirstChild(page->getHandle()) != nullptr; });
        EXPECT_EQ(expected, texts(page->getHandle())) << "HostNameLimit " << limit;
    }
}

TEST_F(SubItems, ExpandAllOpensEveryLevelDownToTheSetDepth)
{
    site()["http://h/top.html"] = {{0, "http://h/one.html", "one"},
                                   {0, "http://h/two.html", "two"}};
    site()["http://h/one.html"] = {{0, "http://h/one/a.html", "a"}};
    site()["http://h/two.html"] = {{0, "http://h/two/b.html", "b"}};
    site()["http://h/one/a.html"] = {{0, "http://h/deep.html", "deep"}};
    tree.settings.treeNode = 0; // two levels
    tviCabinetItem* top = addItem("http://h/top.html");
    bool handled = false;
    ASSERT_TRUE(top->executeCommand(codeOf(utlCommand::expandAll), false, handled));
    TreeNode one = nullptr;
    TreeNode two = nullptr;
    pumpUntil([&] {
        one = tree.getFirstChild(top->getHandle());
        two = one != nullptr ? tree.getNextSibling(one) : nullptr;
        return two != nullptr && tree.getFirstChild(one) != nullptr &&
               tree.getFirstChild(two) != nullptr;
    });
    ASSERT_NE(nullptr, two);
    EXPECT_EQ("a", texts(one));
    EXPECT_EQ("b", texts(two));
    // Both levels are shown open; the third was not read.
    EXPECT_TRUE(tree.isExpanded(top->getHandle()));
    EXPECT_TRUE(tree.isExpanded(one));
    EXPECT_TRUE(tree.isExpanded(two));
    TreeNode a = tree.getFirstChild(one);
    EXPECT_EQ(nullptr, tree.getFirstChild(a));
    EXPECT_FALSE(tree.isExpanded(a));
}

TEST_F(SubItems, FailedNewItemRemovesItselfOnlyAfterItsNotification)
{
    tree.answerYes = true;
    tree.dialogData = {"new", "http://h/missing.html", "", false, true};
    bool handled = false;
    ASSERT_TRUE(cabinet->executeCommand(codeOf(utlCommand::newItemConfirmed), false, handled));
    TreeNode node = tree.getFirstChild(cabinet->getHandle());
    ASSERT_NE(nullptr, node);
    tviTreeViewItem* item = tree.getItem(node);
    pumpUntil([&] { return !tree.owns(item); });
    EXPECT_FALSE(tree.owns(item));
    EXPECT_EQ(nullptr, tree.getFirstChild(cabinet->getHandle()));
    EXPECT_EQ(0u, tree.pendingRequestCount());
}

// The page's title replaces the name the dialog proposed ("新規アイテム") or the bare address,
// never a name the user typed.
TEST_F(SubItems, NewItemTakesThePageTitleOnlyInPlaceOfTheProposedName)
{
    site()["http://h/titled.html"] = {};
    struct Case {
        std::string name;
        std::string shown;
    } cases[] = {
        {"\x90\x56\x8b\x4b\x83\x41\x83\x43\x83\x65\x83\x80", "Title"},
        {"http://h/titled.html", "Title"},
        {"", "Title"},
        {"my own name", "my own name"},
    };
    for (const Case& c : cases) {
        tree.dialogData = {c.name, "http://h/titled.html", "", false, true};
        bool handled = false;
        ASSERT_TRUE(cabinet->executeCommand(codeOf(utlCommand::newItemConfirmed), false, handled));
        TreeNode last = tree.getFirstChild(cabinet->getHandle());
        while (tree.getNextSibling(last) != nullptr)
            last = tree.getNextSibling(last);
        auto* item = static_cast<tviCabinetItem*>(tree.getItem(last));
        pumpUntil(
            [&] { return item->getStatus() == clsRequestStatus::complete && !item->isNewItem(); });
        EXPECT_EQ(clsRequestStatus::complete, item->getStatus());
        EXPECT_EQ(c.shown, item->getText()) << c.name;
        EXPECT_FALSE(item->isNewItem());
    }
    EXPECT_TRUE(cabinet->isChanged());
}

TEST_F(SubItems, AlreadyShownFollowsDeletedMovedEditedAndCopiedItems)
{
    // The tree's address count must follow every edit: a stale count would hide the link of a
    // deleted item, or show one that an edited, moved, copied or restored item still shows.
    struct Case {
        std::string address;
        bool shown;
    };
    const std::vector<Case> cases = {
        {"http://h/deleted.html", true},   // its item was deleted
        {"http://h/moved.html", false},    // its item sits in a folder that was moved
        {"http://h/before.html", true},    // the item's address was edited away from it...
        {"http://h/after.html", false},    // ...to this one
        {"http://h/copied.html", false},   // the original was deleted, its copy stays
        {"http://h/restored.html", false}, // deleted and put back
        {"http://h/below.html", true},     // a sub-item of a deleted page
    };
    bool handled = false;
    tviCabinetItem* deleted = addItem("http://h/deleted.html");
    auto folder = std::make_unique<tviCabinetFolder>(&tree);
    auto* moved = tree.adopt(std::move(folder));
    ASSERT_TRUE(moved->insertItem(cabinet->getHandle(), kTreeLast));
    auto inner = std::make_unique<tviCabinetItem>(&tree);
    inner->setUrl("http://h/moved.html");
    ASSERT_TRUE(tree.adopt(std::move(inner))->insertItem(moved->getHandle(), kTreeLast));
    ASSERT_TRUE(moved->moveTo(cabinet->getHandle(), kTreeFirst));
    tviCabinetItem* edited = addItem("http://h/before.html");
    ASSERT_TRUE(edited->applyProperties({"edited", "http://h/after.html", "", false, true}));
    tviCabinetItem* copied = addItem("http://h/copied.html");
    ASSERT_NE(nullptr, copied->copyTo(cabinet->getHandle(), kTreeLast));
    ASSERT_TRUE(copied->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    ASSERT_TRUE(deleted->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    tviCabinetItem* restored = addItem("http://h/restored.html");
    ASSERT_TRUE(restored->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    ASSERT_TRUE(tree.undoDelete());
    site()["http://h/q.html"] = {{0, "http://h/below.html", "below"}};
    tviCabinetItem* q = addItem("http://h/q.html");
    expand(q);
    ASSERT_EQ("below", texts(q->getHandle()));
    ASSERT_TRUE(q->executeCommand(codeOf(utlCommand::deleteItem), false, handled));

    std::string expected;
    for (const Case& c : cases) {
        site()["http://h/p.html"].push_back({0, c.address, c.address});
        if (c.shown) {
            if (!expected.empty())
                expected += '|';
            expected += c.address;
        }
    }
    tviCabinetItem* page = addItem("http://h/p.html");
    expand(page);
    EXPECT_EQ(expected, texts(page->getHandle()));
}

namespace {

struct OpeningTree : ctrlMemoryTreeView {
    std::vector<std::string> opened;
    bool openExternal(const std::string& target, bool) override
    {
        opened.push_back(target);
        return true;
    }
};

} // namespace

TEST(FrameInBrowser, OpensTheFrameSetOrTheFrameAsNewPageSays)
{
    OpeningTree tree;
    auto* cabinet = static_cast<tviCabinet*>(tree.adopt(std::make_unique<tviCabinet>(&tree)));
    ASSERT_TRUE(cabinet->insertItem(kTreeRoot, kTreeLast));
    auto* page = static_cast<tviCabinetItem*>(tree.adopt(std::make_unique<tviCabinetItem>(&tree)));
    page->setUrl("http://h/frames.html");
    ASSERT_TRUE(page->insertItem(cabinet->getHandle(), kTreeLast));
    auto frame = [&](TreeNode parent, const std::string& url) {
        auto* item = static_cast<tviSubItem*>(
            tree.adopt(std::make_unique<tviSubItem>(&tree, typeFrameItem)));
        item->setUrl(url);
        EXPECT_TRUE(item->insertItem(parent, kTreeLast));
        return item;
    };
    tviSubItem* outer = frame(page->getHandle(), "http://h/menu.html");
    tviSubItem* inner = frame(outer->getHandle(), "http://h/inner.html");
    auto* link =
        static_cast<tviSubItem*>(tree.adopt(std::make_unique<tviSubItem>(&tree, typeSubItem)));
    link->setUrl("http://h/link.html");
    ASSERT_TRUE(link->insertItem(outer->getHandle(), kTreeLast));
    struct Case {
        int newPage;
        tviTreeViewItem* item;
        const char* opened;
    } cases[] = {
        {1, outer, "http://h/frames.html"},
        {1, inner, "http://h/frames.html"}, // a frame inside a frame: the page of them all
        {1, link, "http://h/link.html"},    // a link is no frame
        {0, outer, "http://h/menu.html"},
        {0, inner, "http://h/inner.html"},
    };
    for (const Case& c : cases) {
        tree.settings.newPage = c.newPage;
        tree.opened.clear();
        bool handled = false;
        ASSERT_TRUE(c.item->executeCommand(codeOf(utlCommand::showInBrowser), false, handled));
        EXPECT_TRUE(handled);
        EXPECT_EQ(std::vector<std::string>{c.opened}, tree.opened)
            << c.newPage << " " << c.item->getUrl();
    }
}
