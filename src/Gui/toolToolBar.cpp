#include "Gui/toolToolBar.h"

#include "Gui/guiIcons.h"
#include "QtBridge/guiText.h"

#include <QAction>

namespace {

struct Button {
    int image; // -1: a separator
    int menuId;
    const char* toolTip;
};

constexpr Button buttons[] = {
    {guiIcons::toolBrowser, 32793, QT_TRANSLATE_NOOP("toolToolBar", "ブラウザで表示")},
    {guiIcons::toolStop, 32790, QT_TRANSLATE_NOOP("toolToolBar", "通信中断")},
    {guiIcons::toolReload, 32788, QT_TRANSLATE_NOOP("toolToolBar", "再読込")},
    {-1, 0, nullptr},
    {guiIcons::toolUp, 32839, QT_TRANSLATE_NOOP("toolToolBar", "上へ移動")},
    {guiIcons::toolDown, 32840, QT_TRANSLATE_NOOP("toolToolBar", "下へ移動")},
    {guiIcons::toolProperties, 32778, QT_TRANSLATE_NOOP("toolToolBar", "プロパティ")},
};

} // namespace

toolToolBar::toolToolBar(const Runner& run, QWidget* parent) : QToolBar(parent)
{
    setIconSize(QSize(20, 20));
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const Button& button : buttons) {
        if (button.image < 0) {
            addSeparator();
            continue;
        }
        QAction* action = addAction(guiIcons::toolIcon(button.image), QString());
        action->setToolTip(tr(button.toolTip));
        action->setData(button.menuId);
        int menuId = button.menuId;
        connect(action, &QAction::triggered, this, [run, menuId] { run(menuId); });
    }
}

toolToolBar::~toolToolBar() = default;
