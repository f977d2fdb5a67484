#include "Common/utlHelp.h"

#include "Common/utlLog.h"
#include "Platform/RegistryStore.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace {

// "検索"
const std::string searchTitle = "\x8C\x9F\x8D\xF5";

class HelpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::RegistryStore store(platform::RegistryStore::defaultPath());
        store.setDword(utlLog::registryKey(), "OutputMode", 2);
        store.setDword(utlLog::registryKey(), "OutputLevel", 1);
        store.setString(utlLog::registryKey(), "OutputFilePath", home.dir() + "log.txt");
        InitUtlLog("QuillaG");
        ASSERT_TRUE(InitUtlHelp());
        GetUtlHelp()->setOpener([this](const std::string& path) {
            opened.push_back(path);
            return true;
        });
        GetUtlHelp()->setErrorReporter([this](const std::string& text, const std::string& caption) {
            reported.push_back(text + "|" + caption);
        });
    }
    void TearDown() override
    {
        TermUtlHelp();
        TermUtlLog();
    }
    void makePage(const std::string& page)
    {
        std::filesystem::path path = home.path() / "Help" / page;
        std::filesystem::create_directories(path.parent_path());
        testsupport::writeFile(path, "<html></html>");
    }

    testsupport::TempHome home;
    std::vector<std::string> opened;
    std::vector<std::string> reported;
};

TEST_F(HelpTest, OpensThePageOfTheTitleOrTheIndex)
{
    makePage("panel/p_search.html");
    makePage("index.html");
    EXPECT_EQ(GetUtlHelp()->helpPath(), home.dir() + "Help/");
    EXPECT_TRUE(GetUtlHelp()->showTopic(searchTitle));
    // Titles are compared byte for byte: a longer title, or the UTF-8 form, is no match.
    EXPECT_TRUE(GetUtlHelp()->showTopic(searchTitle + " "));
    EXPECT_TRUE(GetUtlHelp()->showTopic("\xE6\xA4\x9C\xE7\xB4\xA2"));
    const std::vector<std::string> expected = {home.dir() + "Help/panel/p_search.html",
                                               home.dir() + "Help/index.html",
                                               home.dir() + "Help/index.html"};
    EXPECT_EQ(opened, expected);
    EXPECT_TRUE(reported.empty());
}

TEST_F(HelpTest, MissingPageIsLoggedAndReported)
{
    GetUtlHelp()->setFallbackPaths(
        {}); // the pages built beside the test programs are not looked at
    EXPECT_FALSE(GetUtlHelp()->showTopic(searchTitle));
    EXPECT_TRUE(opened.empty());
    // "\nは作成出来ませんでした。" with the caption "エラーメッセージ"
    const std::string text = home.dir() + "Help/panel/p_search.html"
                                          "\n\x82\xCD\x8D\xEC\x90\xAC\x8Fo\x97\x88\x82\xDC\x82\xB9"
                                          "\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81"
                                          "B";
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], text + "|\x83G\x83\x89\x81[\x83\x81\x83"
                                  "b\x83Z\x81[\x83W");
    EXPECT_NE(
        testsupport::readFile(home.path() / "log.txt").find("utlHelp::showTopic " + home.dir()),
        std::string::npos);
}

} // namespace
