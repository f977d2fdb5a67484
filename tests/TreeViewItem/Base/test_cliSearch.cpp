// `quillara-cli search` as a script sees it: UTF-8 in and out, the exit codes, JSON.
#include "Platform/platformText.h"
#include "TestSupport.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <gtest/gtest.h>

namespace {

using testsupport::runCli;

tviCabinetEntry entry(int type, const char* utf8Name, const char* url, int parent = -1)
{
    tviCabinetEntry e;
    e.type = type;
    e.name = platform::utf8ToSjis(utf8Name);
    e.url = url;
    e.parent = parent;
    return e;
}

} // namespace

TEST(cliSearch, FindsByTextMarkAndDeadLinkWithExitCodes)
{
    testsupport::TempHome home;
    tviCabinetDocument doc;
    doc.name = "Box";
    doc.entries.push_back(entry(3, "資料", ""));
    doc.entries.push_back(entry(4, "コーヒー豆", "http://example.com/beans", 0));
    doc.entries.push_back(entry(4, "Tea", "http://example.com/tea"));
    doc.entries.back().marked = true;
    doc.entries.back().description = "green\r\nleaves";
    doc.entries.push_back(entry(4, "Gone", "http://example.com/gone"));
    doc.entries.back().status = 5;
    std::string path = (home.path() / "box.scb").string();
    testsupport::writeFile(path, tviCabinetFile::write(doc));

    struct Case {
        std::string arguments;
        int exitCode;
        std::string out;
    } cases[] = {
        {"--text 'ｺｰﾋｰ'", 0, "資料/コーヒー豆  <http://example.com/beans>\n"},
        {"--text 'nothing here'", 1, ""},
        {"--text 'EXAMPLE'", 0,
         "資料/コーヒー豆  <http://example.com/beans>\nTea  <http://example.com/tea>\nGone  "
         "<http://example.com/gone>\n"},
        {"--text EXAMPLE --fields name", 1, ""},
        {"--text 'leaves gone' --fields comment,name --backward", 0,
         "Gone  <http://example.com/gone>\nTea  <http://example.com/tea>\n"},
        {"--mark", 0, "Tea  <http://example.com/tea>\n"},
        {"--dead --json", 0,
         "[{\"path\":\"\",\"name\":\"Gone\",\"url\":\"http://example.com/gone\",\"type\":4}]\n"},
        {"--text tea --fields colour", 2, ""},
        {"--text ' '", 2, ""},
        {"--mark --dead", 2, ""},
        {"", 2, ""},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(c.exitCode, runCli("search " + path + " " + c.arguments, out)) << c.arguments;
        EXPECT_EQ(c.out, out) << c.arguments;
    }
    std::string out;
    EXPECT_EQ(2, runCli("search " + (home.path() / "missing.scb").string() + " --mark", out));
}
