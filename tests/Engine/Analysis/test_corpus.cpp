#include "AnalyzerTestSupport.h"

#include "Platform/platformText.h"
#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {

struct ExpectedPage {
    std::string number;
    std::string title;
    std::string keywords;
    std::vector<std::pair<std::string, std::string>> links; // href, name
};

// manifest.txt of tools/make-corpus, UTF-8; texts are compared as the program holds them.
std::vector<ExpectedPage> readManifest(const std::filesystem::path& path)
{
    std::vector<ExpectedPage> pages;
    std::istringstream in(testsupport::readFile(path));
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("page "))
            pages.push_back(ExpectedPage{line.substr(5), {}, {}, {}});
        else if (pages.empty())
            continue;
        else if (line.starts_with("title "))
            pages.back().title = platform::utf8ToSjis(line.substr(6));
        else if (line.starts_with("keywords "))
            pages.back().keywords = platform::utf8ToSjis(line.substr(9));
        else if (line.starts_with("link ")) {
            std::size_t space = line.find(' ', 5);
            pages.back().links.emplace_back(line.substr(5, space - 5),
                                            platform::utf8ToSjis(line.substr(space + 1)));
        }
    }
    return pages;
}

} // namespace

// Real Japanese text in four codes, no charset declared: every page comes out with the right
// code, title, keywords and links, also when it arrives in blocks of 1, 2, 3 and 2048 bytes.
TEST(clsHtmlItem, JapaneseCorpusInEveryCode)
{
    const auto directory = std::filesystem::path(QUILLARA_TEST_DATA) / "corpus";
    auto pages = readManifest(directory / "manifest.txt");
    ASSERT_GE(pages.size(), 20u);
    const std::pair<const char*, int> codes[] = {{"sjis", 2}, {"euc", 4}, {"jis", 3}, {"utf8", 5}};
    for (const ExpectedPage& expected : pages) {
        for (const auto& [suffix, code] : codes) {
            std::string name = expected.number + "." + suffix + ".html";
            std::string bytes = testsupport::readFile(directory / name);
            for (std::size_t size : {1, 2, 3, 2048}) {
                AnalyzedPage page = analyzeBytes(bytes, "http://corpus.example/" + name, size);
                SCOPED_TRACE(name + " in blocks of " + std::to_string(size));
                EXPECT_EQ(page.code, code);
                EXPECT_EQ(page.title, expected.title);
                EXPECT_EQ(page.keywords, expected.keywords);
                ASSERT_EQ(page.links.size(), expected.links.size());
                for (std::size_t i = 0; i < page.links.size(); ++i) {
                    EXPECT_EQ(page.links[i].href, expected.links[i].first);
                    EXPECT_EQ(page.links[i].name, expected.links[i].second);
                }
            }
        }
    }
}
