#pragma once

#include <string_view>

// Where the window takes a command that neither the focused pane nor the status bar handled:
// the tree takes its own dialogs' and searches' commands whichever pane has the focus, and the
// application window takes its own; the rest belong to the focused pane alone.
enum class utlCommandPane { focused, tree, application };

// Every command, once: its name, its code, the pane that takes it when the focused pane does
// not, and whether it changes the tree (after which a cut or copied item is forgotten). The
// codes are what menus, accelerators, tool-bar buttons and dialogs send through
// executeCommand; they never change.
// X(name, code, pane, editsTree)
#define QUILLARA_COMMANDS(X)                                                                       \
    X(exitApplication, 1000, application, false)                                                   \
    X(about, 1001, application, false)                                                             \
    X(toggleListView, 1008, application, false)                                                    \
    X(showListView, 1009, application, false)                                                      \
    X(hideListView, 1010, application, false)                                                      \
    X(toggleHtmlView, 1011, application, false)                                                    \
    X(showHtmlView, 1012, application, false)                                                      \
    X(hideHtmlView, 1013, application, false)                                                      \
    X(preferences, 1018, application, true)                                                        \
    X(takeSnapshot, 1019, focused, true)                                                           \
    X(snapshotConfirmed, 1020, focused, false)                                                     \
    X(takeFootprint, 1021, focused, true)                                                          \
    X(footprintConfirmed, 1022, tree, false)                                                       \
    X(search, 1023, tree, false)                                                                   \
    X(searchConfirmed, 1024, tree, false)                                                          \
    X(createCabinet, 1027, tree, false)                                                            \
    X(copyCabinet, 1029, tree, false)                                                              \
    X(newItem, 1031, tree, false)                                                                  \
    X(newItemConfirmed, 1032, tree, false)                                                         \
    X(newFolder, 1033, tree, false)                                                                \
    X(newFolderConfirmed, 1034, tree, false)                                                       \
    X(deleteItem, 1040, focused, true)                                                             \
    X(openCabinet, 1100, tree, false)                                                              \
    X(openCabinetChosen, 1101, tree, false)                                                        \
    X(refreshViews, 1200, application, false)                                                      \
    X(goToTypedAddress, 2010, application, false)                                                  \
    X(showInBrowser, 5002, focused, false)                                                         \
    X(showInNewBrowser, 5003, focused, false)                                                      \
    X(contextMenu, 5004, focused, false)                                                           \
    X(applySettings, 6002, application, false)                                                     \
    X(openFile, 11003, tree, false)                                                                \
    X(toggleFavorites, 11004, tree, false)                                                         \
    X(toggleBookmarks, 11005, tree, false)                                                         \
    X(save, 11007, focused, false)                                                                 \
    X(cut, 11008, focused, false)                                                                  \
    X(copy, 11009, focused, false)                                                                 \
    X(paste, 11010, focused, true)                                                                 \
    X(selectAll, 11011, focused, false)                                                            \
    X(undoDelete, 11012, focused, true)                                                            \
    X(moveUp, 11013, focused, true)                                                                \
    X(moveDown, 11014, focused, true)                                                              \
    X(mark, 11015, focused, false)                                                                 \
    X(command11016, 11016, focused, true)                                                          \
    X(expand, 11017, focused, true)                                                                \
    X(reExpand, 11018, focused, true)                                                              \
    X(expandAll, 11019, focused, true)                                                             \
    X(stop, 11020, application, false)                                                             \
    X(charsetAuto, 11021, focused, true)                                                           \
    X(charsetSjis, 11022, focused, true)                                                           \
    X(charsetEuc, 11023, focused, true)                                                            \
    X(helpContents, 11024, application, false)                                                     \
    X(labelEdit, 11025, focused, false)                                                            \
    X(properties, 11026, tree, false)                                                              \
    X(command11027, 11027, focused, false)                                                         \
    X(markSearchUp, 11028, tree, false)                                                            \
    X(markSearchDown, 11029, tree, false)                                                          \
    X(searchAgainDown, 11030, tree, false)                                                         \
    X(searchAgainUp, 11031, tree, false)                                                           \
    X(openNode, 11032, tree, false)                                                                \
    X(deadLinkSearchDown, 11033, tree, false)                                                      \
    X(deadLinkSearchUp, 11034, tree, false)                                                        \
    X(nextPane, 11035, application, false)                                                         \
    X(previousPane, 11036, application, false)                                                     \
    X(command11040, 11040, focused, true)                                                          \
    X(openTree, 11041, focused, false)                                                             \
    X(exportCabinet, 11042, tree, false)                                                           \
    X(emptySnapshotTrash, 11043, tree, false)                                                      \
    X(charsetUtf8, 11050, focused, true)                                                           \
    X(showArchived, 11051, focused, false)

// Every command by name.
enum class utlCommand : int {
#define QUILLARA_COMMAND_ENUMERATOR(name, code, pane, editsTree) name = code,
    QUILLARA_COMMANDS(QUILLARA_COMMAND_ENUMERATOR)
#undef QUILLARA_COMMAND_ENUMERATOR
};

// The code a command is sent with.
constexpr int codeOf(utlCommand command)
{
    return static_cast<int>(command);
}

struct utlCommandRow {
    utlCommand command;
    std::string_view name;
    utlCommandPane pane;
    bool editsTree;
};

inline constexpr utlCommandRow utlCommandTable[] = {
#define QUILLARA_COMMAND_ROW(name, code, pane, editsTree)                                          \
    {utlCommand::name, #name, utlCommandPane::pane, editsTree},
    QUILLARA_COMMANDS(QUILLARA_COMMAND_ROW)
#undef QUILLARA_COMMAND_ROW
};

// The row of a command code, or nullptr for a code no command has.
constexpr const utlCommandRow* commandRowOf(int code)
{
    for (const utlCommandRow& row : utlCommandTable) {
        if (codeOf(row.command) == code)
            return &row;
    }
    return nullptr;
}

// The pane that takes code when the focused one does not (focused for an unknown code).
constexpr utlCommandPane commandPaneOf(int code)
{
    const utlCommandRow* row = commandRowOf(code);
    return row == nullptr ? utlCommandPane::focused : row->pane;
}

// Whether code changes the tree (false for an unknown code).
constexpr bool commandEditsTree(int code)
{
    const utlCommandRow* row = commandRowOf(code);
    return row != nullptr && row->editsTree;
}
