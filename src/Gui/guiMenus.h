#pragma once

#include <functional>

class QMenu;
class QMenuBar;
class QWidget;

// The menus of the window (menu 102), the tree item's context menu (popup 0 of menu 104) and
// the accelerators that no menu item carries. Every action keeps its menu identifier in its
// data; run is called with it when the action fires.
class guiMenus {
public:
    using Runner = std::function<void(int menuId)>;
    // Whether the command of a menu identifier is available now.
    using Query = std::function<bool(int menuId)>;
    // Whether a menu identifier is shown checked (list view, HTML view, mark).
    using Checked = std::function<bool(int menuId)>;

    static void fillMainMenu(QMenuBar* bar, const Runner& run);
    static void fillItemMenu(QMenu* menu, const Runner& run);
    static void addHiddenAccelerators(QWidget* window, const Runner& run);
    // Greys every action whose command nobody can carry out, and checks the checkable ones.
    static void updateMenu(QMenu* menu, const Query& available, const Checked& checked);
    // Enables every action again, so that accelerators work while the menu is closed.
    static void enableAll(QMenu* menu);
    // The command code of a menu identifier (the command table's look-up), -1 when none.
    static int commandOf(int menuId);
};
