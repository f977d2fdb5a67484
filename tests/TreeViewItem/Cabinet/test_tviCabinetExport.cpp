#include "TreeViewItem/Cabinet/tviCabinetExport.h"

#include "Platform/platformText.h"
#include "TestSupport.h"
#include "TreeViewItem/Formats/tviBookmarkFile.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <gtest/gtest.h>

#include <map>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

using testsupport::runCli;

tviCabinetDocument sample()
{
    tviCabinetDocument doc;
    doc.name = platform::utf8ToSjis("仕事");
    doc.productMark = true;
    tviCabinetEntry folder;
    folder.type = 3;
    folder.name = platform::utf8ToSjis("資料");
    folder.marked = true;
    doc.entries.push_back(folder);
    tviCabinetEntry item;
    item.parent = 0;
    item.name = platform::utf8ToSjis("例");
    item.url = "http://example.com/?a=1&b=2";
    item.keyword = "x,y";
    item.description = "one\r\ntwo";
    item.addDate = 1500000000;
    doc.entries.push_back(item);
    return doc;
}

} // namespace

// The command writes every folder and item of a cabinet as a bookmark file and says what it
// wrote; what it must not replace (the source, a cabinet, a directory, a file of another
// kind) it refuses with exit 2 and leaves as it was, and an earlier export it replaces whole.
TEST(tviCabinetExport, CommandLineExportsAndRefusesWhatItMustNotReplace)
{
    testsupport::TempHome home;
    std::string cabinet = home.dir() + "work.scb";
    std::string cabinetBytes = tviCabinetFile::write(sample());
    testsupport::writeFile(cabinet, cabinetBytes);
    std::string other = home.dir() + "other.scb";
    testsupport::writeFile(other,
                           "<HTML><TITLE>x</TITLE><DL><DT><A HREF=\"http://a/\">a</A></DL></HTML>");
    std::string notes = home.dir() + "notes.txt";
    testsupport::writeFile(notes, "my notes\n");
    std::string earlier = home.dir() + "earlier.html";
    testsupport::writeFile(earlier, tviBookmarkFile::write(tviCabinetDocument{}));
    fs::create_directory(home.dir() + "dir");

    struct Case {
        std::string source;
        std::string target;
        int exitCode;
    } cases[] = {
        {cabinet, cabinet, 2},
        {cabinet, other, 2},
        {cabinet, notes, 2},
        {cabinet, home.dir() + "dir", 2},
        {cabinet, home.dir() + "missing/out.html", 2},
        {home.dir() + "missing.scb", home.dir() + "never.html", 2},
        {cabinet, earlier, 0},
        {cabinet, home.dir() + "new.html", 0},
    };
    for (const Case& c : cases) {
        std::map<std::string, std::string> before;
        for (const std::string& path : {cabinet, other, notes}) {
            before[path] = testsupport::readFile(path);
        }
        std::string out;
        EXPECT_EQ(c.exitCode, runCli("export " + c.source + " --to " + c.target + " --json", out))
            << c.target;
        for (const auto& [path, bytes] : before) {
            EXPECT_EQ(bytes, testsupport::readFile(path))
                << path << " after export to " << c.target;
        }
        if (c.exitCode != 0) {
            EXPECT_EQ("", out) << c.target;
            continue;
        }
        EXPECT_EQ("{\"path\":\"" + c.target + "\",\"folders\":1,\"items\":1,\"warning\":\"\"}\n",
                  out);
        tviCabinetDocument back;
        std::string error;
        ASSERT_TRUE(tviBookmarkFile::read(testsupport::readFile(c.target), back, error)) << error;
        ASSERT_EQ(2u, back.entries.size());
        EXPECT_EQ(platform::utf8ToSjis("資料"), back.entries[0].name);
        EXPECT_TRUE(back.entries[0].marked);
        EXPECT_EQ("http://example.com/?a=1&b=2", back.entries[1].url);
        EXPECT_EQ("x,y", back.entries[1].keyword);
        EXPECT_EQ("one\r\ntwo", back.entries[1].description);
        EXPECT_EQ(1500000000, back.entries[1].addDate);
    }
    EXPECT_FALSE(fs::exists(home.dir() + "never.html"));
    for (const fs::directory_entry& e : fs::directory_iterator(home.path())) {
        EXPECT_EQ(std::string::npos, e.path().filename().string().find(".tmp")) << e.path();
    }
}
