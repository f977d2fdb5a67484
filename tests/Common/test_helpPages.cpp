// The help pages shipped in Help/: every title of the help table has its page, every page
// names its title, and every link of every page leads to a file that is there.
#include "Common/utlHelp.h"
#include "Platform/platformText.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace {

const std::filesystem::path helpDirectory =
    std::filesystem::path(QUILLARA_TEST_DATA) / ".." / ".." / "Help";

} // namespace

TEST(HelpPages, EveryTitleHasItsPageAndEveryLinkResolves)
{
    std::vector<std::string> titles = utlHelp::topicTitles();
    ASSERT_EQ(titles.size(), 27u);
    for (const std::string& title : titles) {
        std::string page = utlHelp::pageForTitle(title);
        std::filesystem::path file = helpDirectory / page;
        ASSERT_TRUE(std::filesystem::is_regular_file(file)) << page;
        std::string text = testsupport::readFile(file);
        EXPECT_NE(text.find("<h1>" + platform::sjisToUtf8(title) + "</h1>"), std::string::npos)
            << page;
    }
    const std::regex link(R"((?:href|src)=\"([^\"]*)\")");
    size_t pages = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(helpDirectory)) {
        if (entry.path().extension() != ".html")
            continue;
        ++pages;
        std::string text = testsupport::readFile(entry.path());
        // A label reads as the window shows it, "アイテム(I)": no accelerator mark, no entity.
        static const std::regex mnemonic(R"(\((&amp;|&)[A-Z0-9]\))");
        EXPECT_FALSE(std::regex_search(text, mnemonic)) << entry.path();
        for (std::sregex_iterator it(text.begin(), text.end(), link), end; it != end; ++it) {
            std::string target = (*it)[1];
            EXPECT_EQ(target.find("://"), std::string::npos) << entry.path() << ": " << target;
            std::filesystem::path resolved =
                entry.path().parent_path() / target.substr(0, target.find('#'));
            EXPECT_TRUE(std::filesystem::is_regular_file(resolved))
                << entry.path() << ": " << target;
        }
    }
    EXPECT_EQ(pages, titles.size());
}
