#pragma once

#include "Engine/Core/clsEngineOptions.h"
#include "Gui/QuillaG.h"
#include "Gui/ctrlQtTreeView.h"
#include "Gui/wndApplication.h"

#include <string>

class tviCabinetItem;

// A started program for the window's tests: the services, and the window with an engine of its
// own, whose tree answers its questions without showing them.
class GuiTestWindow {
public:
    // What a test wants beyond that.
    struct Setup {
        clsEngineOptions engine = {};
        bool answerYes = false; // questions are answered Yes (else as the buttons ask)
        bool focusTree = false; // the tree pane has the focus, as after a click into it
    };

    GuiTestWindow();
    explicit GuiTestWindow(const Setup& setup);

    // Options of an engine that does not pace, so that tests do not wait between requests.
    static clsEngineOptions unpaced();

    ctrlQtTreeView* tree() const { return app->tree(); }
    TreeNode defaultCabinet() const { return tree()->getFirstChild(kTreeRoot); }
    // Runs a command as the menu would: true when it was handled and succeeded.
    bool run(int code);

    QuillaG program;
    wndApplication* app = nullptr;
};

// A cabinet item put last below parent.
tviCabinetItem* addItem(ctrlTreeView* tree, TreeNode parent, const std::string& name,
                        const std::string& url);
