#include "GuiTestWindow.h"

#include "TreeViewItem/Cabinet/tviCabinetItem.h"

#include <memory>

GuiTestWindow::GuiTestWindow() : GuiTestWindow(Setup{}) {}

GuiTestWindow::GuiTestWindow(const Setup& setup)
{
    program.startServices();
    auto window = std::make_unique<wndApplication>();
    window->useOwnEngine(setup.engine);
    program.startWindow(std::move(window));
    app = program.application();
    app->tree()->interactive = false;
    app->tree()->answerYes = setup.answerYes;
    if (setup.focusTree)
        app->setFocusPane(wndApplication::paneTree);
}

clsEngineOptions GuiTestWindow::unpaced()
{
    clsEngineOptions options;
    options.paceIntervalMs = 0;
    return options;
}

bool GuiTestWindow::run(int code)
{
    bool handled = false;
    return app->executeCommand(code, false, handled) && handled;
}

tviCabinetItem* addItem(ctrlTreeView* tree, TreeNode parent, const std::string& name,
                        const std::string& url)
{
    auto* item = static_cast<tviCabinetItem*>(
        tree->adopt(tviTreeViewItem::createItem(tree, typeCabinetItem)));
    item->setName(name);
    item->setUrl(url);
    item->insertItem(parent, kTreeLast);
    return item;
}
