#pragma once

#include <string>

class ctrlTreeView;
class tviTreeViewItem;
class tviInternetExplorer;
class tviNetscapeNavigator;
class utlIniInfo;

// Showing and hiding the two cabinets that mirror outside sources: the Favorites directory
// (setting IEBK, folder FavoritesFolder) and the bookmark file (NNBK, NNBKName). A shown one
// stands last at the root and is read whole when shown.
class tviSourceCabinets {
public:
    // A leading "~" means the home directory ($HOME).
    static std::string expandHome(const std::string& path);
    // The configured Favorites directory, expanded; empty when no such directory exists (the
    // cabinet is then not offered).
    static std::string favoritesPath(const utlIniInfo& ini);
    static std::string bookmarksPath(const utlIniInfo& ini);
    // The root node's item of that type, or null.
    static tviTreeViewItem* find(const ctrlTreeView& tree, int type);
    // Shows the cabinet (reading it anew when it is shown already). Null when there is nothing
    // to show (no Favorites directory) or no node could be made.
    static tviInternetExplorer* showFavorites(ctrlTreeView& tree, const utlIniInfo& ini);
    static tviNetscapeNavigator* showBookmarks(ctrlTreeView& tree, const utlIniInfo& ini);
    // Removes the cabinet of that type with everything below it.
    static void hide(ctrlTreeView& tree, int type);
    // Shows or hides (the menu entries' command) and stores 1 or 0 in IEBK or NNBK.
    static bool toggle(ctrlTreeView& tree, utlIniInfo& ini, int type);
    // Whether toggle has something to do: the bookmark cabinet always, the Favorites when shown
    // or when the directory exists.
    static bool canToggle(const ctrlTreeView& tree, const utlIniInfo& ini, int type);
    // At start: each one whose setting is 1 (the Favorites only when the directory exists).
    static void showAtStart(ctrlTreeView& tree, const utlIniInfo& ini);
    // After the settings changed: shows the ones switched on, hides the ones switched off and
    // reads a shown one anew from its new place when its path setting changed.
    static void applySettings(ctrlTreeView& tree, const utlIniInfo& ini);
};
