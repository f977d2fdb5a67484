#include "Common/utlCommandRoot.h"

#include "Common/utlLog.h"

#include <gtest/gtest.h>

#include <set>

namespace {

struct RecordingTarget : utlCommandTarget {
    int lastCode = 0;
    bool lastQuery = false;
    bool fail = false;
    bool executeCommand(int code, bool query, bool& handled) override
    {
        lastCode = code;
        lastQuery = query;
        handled = code == 1031;
        return !fail;
    }
};

TEST(UtlCommandRoot, MapsMenuIdentifiersThroughTheTable)
{
    utlCommandRoot root;
    const std::pair<int, int> cases[] = {
        {32769, 1031},  {32772, 1100},  {32836, 11007}, {32778, 11026}, {32827, 11026},
        {32848, 11026}, {32784, 1040},  {32808, 11024}, {32882, 11041}, {32849, -1},
        {32851, -1},    {32879, 11034}, {32883, 11042}, {32884, 11043}, {32890, 11050},
        {32891, 11051}, {0, -1},        {32768, -1},    {99999, -1},
    };
    for (const auto& [menuId, code] : cases)
        EXPECT_EQ(root.getCommand(menuId), code) << menuId;

    // A repeated identifier would hide the later row: every identifier appears once.
    std::set<int> seen;
    for (const utlCommandEntry& entry : utlCommandRoot::table())
        EXPECT_TRUE(seen.insert(entry.menuId).second) << entry.menuId;
    EXPECT_EQ(seen.size(),
              55u); // with the export, the UTF-8, the empty-the-trash and the archive entries
}

TEST(UtlCommandRoot, HandsCommandsToTheTargetAndReportsFailure)
{
    InitUtlLog("test");
    RecordingTarget target;
    ASSERT_TRUE(InitUtlCommand(nullptr));
    bool handled = true;
    EXPECT_TRUE(GetUtlCommandRoot()->executeCommand(1031, false, handled)); // no target yet
    EXPECT_FALSE(handled);

    ASSERT_TRUE(InitUtlCommand(&target));
    EXPECT_TRUE(GetUtlCommandRoot()->executeCommand(1031, true, handled));
    EXPECT_TRUE(handled);
    EXPECT_TRUE(target.lastQuery);
    EXPECT_TRUE(GetUtlCommandRoot()->executeCommand(1040, false, handled));
    EXPECT_FALSE(handled);
    EXPECT_EQ(target.lastCode, 1040);

    target.fail = true;
    EXPECT_FALSE(GetUtlCommandRoot()->executeCommand(1031, false, handled));
    EXPECT_TRUE(TermUtlCommand());
    EXPECT_TRUE(TermUtlCommand()); // nothing left to end
    TermUtlLog();
}

} // namespace
