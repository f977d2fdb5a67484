#include "Engine/Text/utlStatusText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct RecordingBar : utlStatusBarSink {
    std::vector<std::pair<std::string, int>> shown;
    void showStatusText(const std::string& text, int pane) override
    {
        shown.emplace_back(text, pane);
    }
};

TEST(StatusText, ReachesOnlyTheRegisteredBar)
{
    RecordingBar bar;
    setStatusText("before", 0);
    setStatusBar(&bar);
    setStatusText("found", statusPaneWhole);
    clearStatusBar();
    setStatusText("after", 1);
    ASSERT_EQ(bar.shown.size(), 1u);
    EXPECT_EQ(bar.shown[0].first, "found");
    EXPECT_EQ(bar.shown[0].second, 255);
}

} // namespace
