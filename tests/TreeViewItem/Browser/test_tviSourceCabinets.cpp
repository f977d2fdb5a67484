#include "TreeViewItem/Browser/tviSourceCabinets.h"

#include "Common/utlEnvInfo.h"
#include "Common/utlIniInfo.h"
#include "Common/utlLog.h"
#include "TestSupport.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Browser/tviInternetExplorer.h"
#include "TreeViewItem/Browser/tviNNItem.h"
#include "TreeViewItem/Browser/tviNetscapeNavigator.h"
#include "TreeViewItem/Cabinet/tviQuillaraCabinet.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class SourceCabinets : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitUtlLog("QuillaG");
        ASSERT_TRUE(InitUtlIniInfo());
        ASSERT_TRUE(GetUtlIniInfo()->load());
        ini = GetUtlIniInfo();
        bookmarks = home.dir() + "bookmarks.html";
        fs::copy_file(std::string(QUILLARA_TEST_DATA) + "/bookmarks/firefox.html", bookmarks);
        favorites = home.dir() + "Favorites/";
        ini->setString(IniKey::NNBKName, bookmarks);
        ini->setString(IniKey::FavoritesFolder, favorites);
    }
    void TearDown() override
    {
        TermUtlIniInfo();
        TermUtlLog();
    }

    // The texts of the root nodes, in order.
    std::vector<std::string> roots() const
    {
        std::vector<std::string> out;
        for (TreeNode n = tree.getFirstChild(kTreeRoot); n != nullptr; n = tree.getNextSibling(n)) {
            out.push_back(std::to_string(tree.getItem(n)->getType()));
        }
        return out;
    }

    size_t below(tviTreeViewItem* item) const
    {
        return tree.subtreeNodes(item->getHandle()).size() - 1;
    }

    testsupport::TempHome home;
    ctrlMemoryTreeView tree;
    utlIniInfo* ini = nullptr;
    std::string bookmarks;
    std::string favorites;
};

} // namespace

TEST_F(SourceCabinets, ShownAtStartAsTheSettingsSayAndToggledByTheMenu)
{
    ASSERT_NE(nullptr, tviQuillaraCabinet::openDefault(&tree, ini->getDataDirectory()));
    ini->setInt(IniKey::IEBK, 1);
    ini->setInt(IniKey::NNBK, 1);
    // No Favorites directory: that cabinet is not offered at all.
    tviSourceCabinets::showAtStart(tree, *ini);
    EXPECT_EQ((std::vector<std::string>{"1", "15"}), roots());
    EXPECT_FALSE(tviSourceCabinets::canToggle(tree, *ini, typeInternetExplorer));

    fs::create_directories(favorites + "News");
    testsupport::writeFile(favorites + "News/Paper.url", "[InternetShortcut]\nURL=http://paper/\n");
    EXPECT_TRUE(tviSourceCabinets::toggle(tree, *ini, typeInternetExplorer));
    EXPECT_EQ((std::vector<std::string>{"1", "15", "12"}), roots());
    auto* ie =
        static_cast<tviInternetExplorer*>(tviSourceCabinets::find(tree, typeInternetExplorer));
    EXPECT_EQ(2u, below(ie));
    EXPECT_EQ(1, ini->getInt(IniKey::IEBK));

    // Hiding and showing again reads the folder anew.
    testsupport::writeFile(favorites + "Added.url", "[InternetShortcut]\nURL=http://added/\n");
    EXPECT_TRUE(tviSourceCabinets::toggle(tree, *ini, typeInternetExplorer));
    EXPECT_EQ(0, ini->getInt(IniKey::IEBK));
    EXPECT_EQ(nullptr, tviSourceCabinets::find(tree, typeInternetExplorer));
    EXPECT_TRUE(tviSourceCabinets::toggle(tree, *ini, typeInternetExplorer));
    ie = static_cast<tviInternetExplorer*>(tviSourceCabinets::find(tree, typeInternetExplorer));
    EXPECT_EQ(3u, below(ie));

    auto* nn =
        static_cast<tviNetscapeNavigator*>(tviSourceCabinets::find(tree, typeNetscapeNavigator));
    EXPECT_EQ(11u, below(nn));
    EXPECT_EQ("Bookmarks", nn->getCabinetName());
    EXPECT_TRUE(tviSourceCabinets::toggle(tree, *ini, typeNetscapeNavigator));
    EXPECT_EQ(0, ini->getInt(IniKey::NNBK));
    EXPECT_EQ((std::vector<std::string>{"1", "12"}), roots());
}

TEST_F(SourceCabinets, VanishedSourcesGiveAnErrorNotACrash)
{
    fs::create_directories(favorites);
    testsupport::writeFile(favorites + "A.url", "[InternetShortcut]\nURL=http://a/\n");
    tviNetscapeNavigator* nn = tviSourceCabinets::showBookmarks(tree, *ini);
    tviInternetExplorer* ie = tviSourceCabinets::showFavorites(tree, *ini);
    ASSERT_NE(nullptr, nn);
    ASSERT_NE(nullptr, ie);
    fs::remove(bookmarks);
    fs::remove_all(favorites);
    for (tviTreeViewItem* root : std::initializer_list<tviTreeViewItem*>{nn, ie}) {
        bool handled = false;
        EXPECT_FALSE(root->executeCommand(codeOf(utlCommand::reExpand), false, handled));
        EXPECT_TRUE(handled);
        EXPECT_EQ(0u, below(root));
        EXPECT_EQ(overlayError, tree.getOverlay(root->getHandle()));
    }
    EXPECT_FALSE(nn->getLoadError().empty());
    EXPECT_FALSE(ie->getLoadError().empty());
}

TEST_F(SourceCabinets, EntriesAreReadOnlyCopiedByAddressAndPastedIntoACabinet)
{
    tviQuillaraCabinet* cabinet = tviQuillaraCabinet::openDefault(&tree, ini->getDataDirectory());
    ASSERT_NE(nullptr, cabinet);
    tviNetscapeNavigator* nn = tviSourceCabinets::showBookmarks(tree, *ini);
    ASSERT_NE(nullptr, nn);
    tviNNItem* first = nullptr;
    for (TreeNode n : tree.subtreeNodes(nn->getHandle())) {
        if (tree.getItem(n)->getType() == typeNNItem) {
            first = static_cast<tviNNItem*>(tree.getItem(n));
            break;
        }
    }
    ASSERT_NE(nullptr, first);
    struct Refused {
        int code;
    } refused[] = {{codeOf(utlCommand::labelEdit)},
                   {codeOf(utlCommand::newItem)},
                   {codeOf(utlCommand::newFolder)},
                   {codeOf(utlCommand::cut)},
                   {codeOf(utlCommand::deleteItem)}};
    for (const Refused& r : refused) {
        bool handled = true;
        first->executeCommand(r.code, true, handled);
        EXPECT_FALSE(handled) << r.code;
    }
    bool handled = false;
    ASSERT_TRUE(first->executeCommand(codeOf(utlCommand::copy), false, handled));
    EXPECT_EQ("https://www.mozilla.org/ja/firefox/", tree.clipboardText());
    ASSERT_TRUE(cabinet->executeCommand(codeOf(utlCommand::paste), false, handled));
    ASSERT_TRUE(handled);
    auto* pasted =
        static_cast<tviCabinetItem*>(tree.getItem(tree.getFirstChild(cabinet->getHandle())));
    ASSERT_EQ(typeCabinetItem, pasted->getType());
    EXPECT_EQ(first->getUrl(), pasted->getUrl());
    EXPECT_EQ(first->getText(), pasted->getText());
    EXPECT_EQ(first->getDescription(), pasted->getDescription());
    EXPECT_EQ(1700000001, pasted->getAddDate());
}
