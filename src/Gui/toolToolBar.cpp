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
    {guiIcons::toolBrowser, 32793, "\x83u\x83\x89\x83""E\x83U\x82\xC5\x95\x5C\x8E\xA6"}, // ブラウザで表示
    {guiIcons::toolStop, 32790, "\x92\xCA\x90M\x92\x86\x92""f"}, // 通信中断
    {guiIcons::toolReload, 32788, "\x8D\xC4\x93\xC7\x8D\x9E"}, // 再読込
    {-1, 0, nullptr},
    {guiIcons::toolUp, 32839, "\x8F\xE3\x82\xD6\x88\xDA\x93\xAE"}, // 上へ移動
    {guiIcons::toolDown, 32840, "\x89\xBA\x82\xD6\x88\xDA\x93\xAE"}, // 下へ移動
    {guiIcons::toolProperties, 32778, "\x83v\x83\x8D\x83p\x83""e\x83""B"}, // プロパティ
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
        action->setToolTip(gui::toQt(button.toolTip));
        action->setData(button.menuId);
        int menuId = button.menuId;
        connect(action, &QAction::triggered, this, [run, menuId] { run(menuId); });
    }
}

toolToolBar::~toolToolBar() = default;
