#include "Common/utlCommand.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// Two names with one code would make one of them unreachable through the table.
TEST(UtlCommandTable, EveryCommandHasOneRowFoundByItsCode)
{
    std::set<int> codes;
    std::set<std::string_view> names;
    for (const utlCommandRow& row : utlCommandTable) {
        EXPECT_TRUE(codes.insert(codeOf(row.command)).second) << row.name;
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        EXPECT_EQ(commandRowOf(codeOf(row.command)), &row) << row.name;
    }
    EXPECT_EQ(codes.size(), 69u);
    EXPECT_EQ(commandRowOf(0), nullptr);
    EXPECT_EQ(commandRowOf(11052), nullptr);
    EXPECT_EQ(commandPaneOf(11052), utlCommandPane::focused);
    EXPECT_FALSE(commandEditsTree(11052));
}

// The window's routing and the tree's clipboard rule as they were before the table held them.
TEST(UtlCommandTable, KeepsWhichPaneTakesACommandAndWhatEditsTheTree)
{
    using enum utlCommand;
    const std::set<utlCommand> tree = {
        footprintConfirmed, search,       searchConfirmed,    createCabinet,
        copyCabinet,        openCabinet,  openCabinetChosen,  exportCabinet,
        emptySnapshotTrash, newItem,      newItemConfirmed,   newFolder,
        newFolderConfirmed, openFile,     toggleFavorites,    toggleBookmarks,
        properties,         markSearchUp, markSearchDown,     searchAgainDown,
        searchAgainUp,      openNode,     deadLinkSearchDown, deadLinkSearchUp};
    const std::set<utlCommand> application = {
        exitApplication,  about,         toggleListView, showListView, hideListView,
        toggleHtmlView,   showHtmlView,  hideHtmlView,   preferences,  refreshViews,
        goToTypedAddress, applySettings, stop,           helpContents, nextPane,
        previousPane};
    const std::set<utlCommand> edits = {
        preferences, takeSnapshot, takeFootprint, deleteItem,   paste,      undoDelete,
        moveUp,      moveDown,     command11016,  expand,       reExpand,   expandAll,
        charsetAuto, charsetSjis,  charsetEuc,    command11040, charsetUtf8};
    for (const utlCommandRow& row : utlCommandTable) {
        utlCommandPane pane = tree.contains(row.command)          ? utlCommandPane::tree
                              : application.contains(row.command) ? utlCommandPane::application
                                                                  : utlCommandPane::focused;
        EXPECT_EQ(commandPaneOf(codeOf(row.command)), pane) << row.name;
        EXPECT_EQ(commandEditsTree(codeOf(row.command)), edits.contains(row.command)) << row.name;
    }
}

} // namespace
