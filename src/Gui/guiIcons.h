#pragma once

#include <QIcon>

#include <map>
#include <utility>

// The pictures of the window: tree images (with their overlays) and tool-bar icons, taken from
// the desktop's icon theme, with the style's own pictures where the theme has none.
class guiIcons {
public:
    enum ToolIcon {
        toolBrowser = 0,
        toolStop,
        toolReload,
        toolUp,
        toolDown,
        toolProperties,
        toolCount
    };

    // The icon of a tree image id (tviImage) with overlay 0 none, 1 read-only, 2 error.
    static QIcon treeIcon(int image, int overlay);
    static QIcon toolIcon(int index);
    // Frame 0 is the idle picture, 1 to 30 turn while the engine works.
    static QPixmap logoFrame(int frame);

private:
    static QIcon baseIcon(int image);
    static QIcon themed(const char* name, int standardPixmap);
};
