#include "TreeViewItem/Browser/tviSourceCabinets.h"

#include "Common/utlIniInfo.h"
#include "TreeViewItem/Base/ctrlTreeView.h"
#include "TreeViewItem/Browser/tviIEFolder.h"
#include "TreeViewItem/Browser/tviIEItem.h"
#include "TreeViewItem/Browser/tviInternetExplorer.h"
#include "TreeViewItem/Browser/tviNNFolder.h"
#include "TreeViewItem/Browser/tviNNItem.h"
#include "TreeViewItem/Browser/tviNetscapeNavigator.h"

#include <cstdlib>
#include <memory>
#include <sys/stat.h>

namespace {

template <class Root>
Root* show(ctrlTreeView& tree, int type, const std::string& path)
{
    auto* root = static_cast<Root*>(tviSourceCabinets::find(tree, type));
    if (root == nullptr) {
        root = static_cast<Root*>(tree.adopt(std::make_unique<Root>(&tree)));
        if (!root->insertItem(kTreeRoot, kTreeLast)) {
            tree.destroyItem(root);
            return nullptr;
        }
    }
    root->setPath(path);
    root->load();
    return root;
}

} // namespace

std::string tviSourceCabinets::expandHome(const std::string& path)
{
    if (path.empty() || path[0] != '~' || (path.size() > 1 && path[1] != '/')) {
        return path;
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + path.substr(1);
}

std::string tviSourceCabinets::favoritesPath(const utlIniInfo& ini)
{
    std::string path = expandHome(ini.getString(IniKey::FavoritesFolder));
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? path
                                                                                  : std::string();
}

std::string tviSourceCabinets::bookmarksPath(const utlIniInfo& ini)
{
    return expandHome(ini.getString(IniKey::NNBKName));
}

tviTreeViewItem* tviSourceCabinets::find(const ctrlTreeView& tree, int type)
{
    for (TreeNode n = tree.getFirstChild(kTreeRoot); n != nullptr; n = tree.getNextSibling(n)) {
        tviTreeViewItem* item = tree.getItem(n);
        if (item != nullptr && item->getType() == type) {
            return item;
        }
    }
    return nullptr;
}

tviInternetExplorer* tviSourceCabinets::showFavorites(ctrlTreeView& tree, const utlIniInfo& ini)
{
    std::string path = favoritesPath(ini);
    if (path.empty()) {
        return nullptr;
    }
    return show<tviInternetExplorer>(tree, typeInternetExplorer, path);
}

tviNetscapeNavigator* tviSourceCabinets::showBookmarks(ctrlTreeView& tree, const utlIniInfo& ini)
{
    return show<tviNetscapeNavigator>(tree, typeNetscapeNavigator, bookmarksPath(ini));
}

void tviSourceCabinets::hide(ctrlTreeView& tree, int type)
{
    tviTreeViewItem* root = find(tree, type);
    if (root == nullptr) {
        return;
    }
    root->deleteSubtree();
    tree.destroyItem(root);
}

bool tviSourceCabinets::toggle(ctrlTreeView& tree, utlIniInfo& ini, int type)
{
    IniKey key = type == typeInternetExplorer ? IniKey::IEBK : IniKey::NNBK;
    if (find(tree, type) != nullptr) {
        ini.setInt(key, 0);
        hide(tree, type);
        return true;
    }
    bool shown = type == typeInternetExplorer ? showFavorites(tree, ini) != nullptr
                                              : showBookmarks(tree, ini) != nullptr;
    if (shown) {
        ini.setInt(key, 1);
    }
    return shown;
}

bool tviSourceCabinets::canToggle(const ctrlTreeView& tree, const utlIniInfo& ini, int type)
{
    return type != typeInternetExplorer || find(tree, type) != nullptr ||
           !favoritesPath(ini).empty();
}

void tviSourceCabinets::showAtStart(ctrlTreeView& tree, const utlIniInfo& ini)
{
    if (ini.getInt(IniKey::IEBK) == 1) {
        showFavorites(tree, ini);
    }
    if (ini.getInt(IniKey::NNBK) == 1) {
        showBookmarks(tree, ini);
    }
}

void tviSourceCabinets::applySettings(ctrlTreeView& tree, const utlIniInfo& ini)
{
    auto* favorites = static_cast<tviInternetExplorer*>(find(tree, typeInternetExplorer));
    if (ini.getInt(IniKey::IEBK) != 1) {
        hide(tree, typeInternetExplorer);
    } else if (favorites == nullptr || favorites->getPath() != favoritesPath(ini)) {
        showFavorites(tree, ini);
    }
    auto* bookmarks = static_cast<tviNetscapeNavigator*>(find(tree, typeNetscapeNavigator));
    if (ini.getInt(IniKey::NNBK) != 1) {
        hide(tree, typeNetscapeNavigator);
    } else if (bookmarks == nullptr || bookmarks->getPath() != bookmarksPath(ini)) {
        showBookmarks(tree, ini);
    }
}
