#include "TreeViewItem/Cabinet/tviCabinetImport.h"

#include "Platform/platformText.h"
#include "TestSupport.h"
#include "TreeViewItem/Formats/tviBookmarkFile.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetSource.h"
#include "TreeViewItem/Formats/tviFavoritesFolder.h"
#include "TreeViewItem/Formats/tviInternetShortcut.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::string dataPath(const std::string& name)
{
    return std::string(QUILLARA_TEST_DATA) + "/bookmarks/" + name;
}

tviCabinetDocument readCabinet(const std::string& path)
{
    tviCabinetDocument doc;
    std::string error;
    EXPECT_TRUE(tviCabinetFile::read(testsupport::readFile(path), doc, error))
        << path << ": " << error;
    return doc;
}

// The entries as comparable text: what an import must keep.
// Entries from start on, their parents shifted back by start.
std::vector<std::string> kept(const tviCabinetDocument& doc, int start = 0)
{
    std::vector<std::string> out;
    for (size_t i = static_cast<size_t>(start); i < doc.entries.size(); ++i) {
        const tviCabinetEntry& e = doc.entries[i];
        out.push_back(std::to_string(e.type) + "|" + std::to_string(e.parent - start) + "|" +
                      e.name + "|" + e.url + "|" + e.keyword + "|" + e.description + "|" +
                      std::to_string(e.addDate) + "|" + std::to_string(e.lastModified));
    }
    return out;
}

#ifdef QUILLARA_CLI
using testsupport::runCli;
#endif

} // namespace

TEST(tviCabinetImport, ImportKeepsEveryFolderNameAddressDescriptionAndDate)
{
    testsupport::TempHome home;
    for (const char* source : {"firefox.html", "chrome.html", "sjis.html"}) {
        tviCabinetDocument original;
        std::string error;
        ASSERT_TRUE(tviBookmarkFile::read(testsupport::readFile(dataPath(source)), original, error))
            << error;
        std::string target = home.dir() + source + ".scb";
        tviCabinetImport::Result result;
        ASSERT_TRUE(tviCabinetImport::importInto(dataPath(source), target, "", result, error))
            << error;
        EXPECT_TRUE(result.created);
        tviCabinetDocument back = readCabinet(target);
        EXPECT_EQ(original.name, back.name) << source;
        EXPECT_EQ(kept(original), kept(back)) << source;
        EXPECT_EQ(original.entries.size(), result.folders + result.items);

        // Into the same cabinet again, under a folder of its own: the first import stays.
        ASSERT_TRUE(tviCabinetImport::importInto(dataPath(source), target, "\x8e\xe6\x8d\x9e",
                                                 result, error))
            << error;
        EXPECT_FALSE(result.created);
        tviCabinetDocument twice = readCabinet(target);
        ASSERT_EQ(2 * original.entries.size() + 1, twice.entries.size());
        int top = static_cast<int>(original.entries.size());
        EXPECT_EQ("\x8e\xe6\x8d\x9e", twice.entries[top].name); // 取込
        EXPECT_EQ(-1, twice.entries[top].parent);
        EXPECT_EQ(kept(original), kept(twice, top + 1)) << source;
    }
}

TEST(tviCabinetImport, RefusesTargetsItMustNotWriteAndLeavesThemAlone)
{
    testsupport::TempHome home;
    std::string foreign = home.dir() + "foreign.scb";
    std::string cut = home.dir() + "cut.scb";
    std::string foreignBytes =
        "<HTML><TITLE>x</TITLE><DL><DT><A HREF=\"http://a/\">a</A></DL></HTML>";
    testsupport::writeFile(foreign, foreignBytes);
    tviCabinetDocument doc;
    doc.name = "cut";
    doc.entries.push_back({});
    std::string whole = tviCabinetFile::write(doc);
    std::string cutBytes = whole.substr(0, whole.size() - 30);
    testsupport::writeFile(cut, cutBytes);
    tviCabinetImport::Result result;
    std::string error;
    EXPECT_FALSE(tviCabinetImport::importInto(dataPath("chrome.html"), foreign, "", result, error));
    EXPECT_FALSE(tviCabinetImport::importInto(dataPath("chrome.html"), cut, "", result, error));
    EXPECT_FALSE(tviCabinetImport::importInto(home.dir() + "missing.html", home.dir() + "new.scb",
                                              "", result, error));
    EXPECT_EQ(foreignBytes, testsupport::readFile(foreign));
    EXPECT_EQ(cutBytes, testsupport::readFile(cut));
    EXPECT_FALSE(fs::exists(home.dir() + "new.scb"));
}

TEST(tviCabinetImport, CreateFollowsTheFileNameRuleAndCopyKeepsEveryItem)
{
    testsupport::TempHome home;
    tviCabinetDocument doc;
    doc.name = "My Links!";
    doc.description = "first\r\nsecond";
    struct Case {
        std::string name;
        std::string file;
    } cases[] = {{"My Links!", "My_Links_.scb"},
                 {"My Links!", "My_Links_(1).scb"},
                 {"My Links!", "My_Links_(2).scb"},
                 {"\x93\xfa\x96\x7b/..", "\xe6\x97\xa5\xe6\x9c\xac___.scb"},
                 {"", "_.scb"}};
    for (const Case& c : cases) {
        doc.name = c.name;
        std::string path;
        std::string error;
        ASSERT_TRUE(tviCabinetImport::createCabinet(home.dir(), doc, path, error)) << error;
        EXPECT_EQ(home.dir() + c.file, path);
        tviCabinetDocument back = readCabinet(path);
        EXPECT_EQ(c.name, back.name);
        EXPECT_EQ("first\r\nsecond", back.description);
        EXPECT_TRUE(back.productMark);
    }
    // No temporary file is left beside them.
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(home.path())) {
        files += entry.path().extension() == ".scb" ? 1 : 0;
        EXPECT_EQ(std::string::npos, entry.path().string().find(".tmp")) << entry.path();
    }
    EXPECT_EQ(5u, files);

    std::string source = home.dir() + "source.scb";
    std::string error;
    tviCabinetImport::Result result;
    ASSERT_TRUE(tviCabinetImport::importInto(dataPath("firefox.html"), source, "", result, error))
        << error;
    ASSERT_TRUE(
        tviCabinetImport::copyCabinet(source, home.dir() + "copy.scb", "Copy", result, error))
        << error;
    tviCabinetDocument original = readCabinet(source);
    tviCabinetDocument copy = readCabinet(home.dir() + "copy.scb");
    EXPECT_EQ("Copy", copy.name);
    EXPECT_EQ(kept(original), kept(copy));
    std::string before = testsupport::readFile(home.dir() + "copy.scb");
    EXPECT_FALSE(
        tviCabinetImport::copyCabinet(source, home.dir() + "copy.scb", "Again", result, error));
    EXPECT_EQ(before, testsupport::readFile(home.dir() + "copy.scb"));
}

TEST(tviCabinetImport, FavoritesDirectoryAndShortcutFiles)
{
    testsupport::TempHome home;
    std::string fav = home.dir() + "Favorites";
    fs::create_directories(fav + "/Links/Deeper/Deepest");
    testsupport::writeFile(fav + "/Links/Deeper/Deepest/Bottom.url",
                           "[InternetShortcut]\r\nURL=http://bottom/\r\n");
    testsupport::writeFile(
        fav + "/Capital.URL",
        "[DEFAULT]\nBASEURL=http://x/\n[internetshortcut]\nurl = http://capital/\n");
    testsupport::writeFile(fav + "/\xe6\x97\xa5\xe6\x9c\xac\xf0\x9f\x98\x80.url",
                           "[InternetShortcut]\nURL=https://ja.example/\xe6\x97\xa5\n");
    testsupport::writeFile(fav + "/notes.txt", "[InternetShortcut]\nURL=http://text/\n");
    testsupport::writeFile(fav + "/NoSection.url", "URL=http://nosection/\n");
    testsupport::writeFile(fav + "/Binary.url",
                           std::string("[InternetShortcut]\nURL=http://b/\0\x01\x02", 34));
    fs::create_directory_symlink(fav + "/Links", fav + "/Loop");
    std::string before;
    for (const auto& entry : fs::recursive_directory_iterator(fav)) {
        before += entry.path().string() + ":" +
                  std::to_string(fs::is_regular_file(entry.status()) ? fs::file_size(entry) : 0) +
                  "\n";
    }
    tviCabinetDocument doc;
    std::string error;
    tviFavoritesStats stats;
    ASSERT_TRUE(tviFavoritesFolder::read(fav, doc, error, &stats)) << error;
    std::vector<std::string> shape;
    for (const tviCabinetEntry& e : doc.entries) {
        shape.push_back(std::to_string(e.parent) + " " + platform::sjisToUtf8(e.name) + " " +
                        e.url);
    }
    EXPECT_EQ((std::vector<std::string>{
                  "-1 Links ", "0 Deeper ", "1 Deepest ", "2 Bottom http://bottom/",
                  "-1 Capital http://capital/",
                  "-1 \xe6\x97\xa5\xe6\x9c\xac\xf0\x9f\x98\x80 https://ja.example/%E6%97%A5"}),
              shape);
    EXPECT_EQ(2u, stats.skipped); // no section, binary
    EXPECT_EQ(1u, stats.replaced);
    std::string after;
    for (const auto& entry : fs::recursive_directory_iterator(fav)) {
        after += entry.path().string() + ":" +
                 std::to_string(fs::is_regular_file(entry.status()) ? fs::file_size(entry) : 0) +
                 "\n";
    }
    EXPECT_EQ(before, after); // reading never writes

    fs::remove_all(fav);
    EXPECT_FALSE(tviFavoritesFolder::read(fav, doc, error));
    EXPECT_FALSE(error.empty());

    struct Shortcut {
        std::string bytes;
        bool ok;
        std::string url;
    } shortcuts[] = {{"[InternetShortcut]\nURL=http://a/\n", true, "http://a/"},
                     {"\xEF\xBB\xBF[InternetShortcut]\r\nURL=http://bom/", true, "http://bom/"},
                     {"URL=http://a/\n", false, ""},
                     {"[InternetShortcut]\nIconIndex=0\n", false, ""},
                     {"[Other]\nURL=http://a/\n[InternetShortcut]\n", false, ""},
                     {std::string("\0\0\0\0", 4), false, ""}};
    for (const Shortcut& s : shortcuts) {
        std::string url;
        EXPECT_EQ(s.ok, tviInternetShortcut::read(s.bytes, url, error)) << s.bytes;
        EXPECT_EQ(s.url, url);
    }
}

#ifdef QUILLARA_CLI
// A cabinet imported into itself, under any spelling of its path, is refused and left as it
// was; the command says so with exit 2.
TEST(tviCabinetImport, RefusesToImportACabinetIntoItself)
{
    testsupport::TempHome home;
    std::string out;
    std::string mine = home.dir() + "Mine.scb";
    ASSERT_EQ(0, runCli("import " + dataPath("firefox.html") + " --to " + mine, out));
    std::string before = testsupport::readFile(mine);
    std::filesystem::create_symlink(mine, home.dir() + "link.scb");
    for (const std::string& source : {mine, home.dir() + "link.scb", home.dir() + "./Mine.scb"}) {
        EXPECT_EQ(2, runCli("import " + source + " --to " + mine, out)) << source;
        EXPECT_EQ(2, runCli("import " + mine + " --to " + source, out)) << source;
        EXPECT_EQ(before, testsupport::readFile(mine)) << source;
    }
}

TEST(tviCabinetImport, CommandLineImportTreeCreateCopy)
{
    testsupport::TempHome home;
    std::string out;
    std::string mine = home.dir() + "Mine.scb";
    EXPECT_EQ(0, runCli("import --json " + dataPath("firefox.html") + " --to " + mine, out));
    EXPECT_NE(std::string::npos, out.find("\"items\":8")) << out;
    EXPECT_NE(std::string::npos, out.find("\"created\":true")) << out;
    out.clear();
    EXPECT_EQ(0, runCli("tree --json " + dataPath("chrome.html"), out));
    EXPECT_NE(std::string::npos, out.find("\"read_only\":true")) << out;
    EXPECT_NE(std::string::npos, out.find("NHK")) << out;
    out.clear();
    EXPECT_EQ(0, runCli("tree " + mine, out));
    EXPECT_NE(std::string::npos, out.find("javascript:alert(%22hi%22)")) << out;
    out.clear();
    EXPECT_EQ(
        0,
        runCli("create --json \"My Links!\" --folder " + home.dir() + " --description note", out));
    EXPECT_NE(std::string::npos, out.find("My_Links_.scb")) << out;
    out.clear();
    EXPECT_EQ(0, runCli("create \"My Links!\" --folder " + home.dir(), out));
    EXPECT_EQ(home.dir() + "My_Links_(1).scb\n", out);
    out.clear();
    EXPECT_EQ(0, runCli("copy --json " + mine + " " + home.dir() + "Copy.scb --name Copied", out));
    EXPECT_EQ("Copied", readCabinet(home.dir() + "Copy.scb").name);
    EXPECT_EQ(2, runCli("copy " + mine + " " + home.dir() + "Copy.scb", out));
    EXPECT_EQ(2, runCli("import " + home.dir() + "none.html --to " + mine, out));
    EXPECT_EQ(2, runCli("tree " + home.dir() + "none", out));
}

// A bookmark export and a UTF-8 page with characters Shift_JIS lacks (or would read back as
// others) go into a cabinet and come back from it as the same characters; the file holds each
// as one reference, and a reference typed as text stays text.
TEST(tviCabinetImport, CommandLineKeepsEveryCharacter)
{
    testsupport::TempHome home;
    const std::string title = "例 😀 Café Müller 한국어 a–b — 〜 ¥";
    testsupport::writeFile(
        home.dir() + "export.html",
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" "
        "CONTENT=\"text/html; "
        "charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
        "<DT><H3>Dossier Été</H3>\n<DL><p>\n<DT><A HREF=\"https://example.org/\">" +
            title +
            "</A>\n<DT><A HREF=\"https://example.org/lit\">typed &amp;#65; "
            "&amp;#233;</A>\n</DL><p>\n</DL>\n");
    std::string mine = home.dir() + "Mine.scb";
    std::string out;
    ASSERT_EQ(0, runCli("import " + home.dir() + "export.html --to " + mine, out));
    std::string bytes = testsupport::readFile(mine);
    for (const char* kept : {"&#128512;", "Caf&#233;", "M&#252;ller", "&#54620;&#44397;&#50612;",
                             "a&#8211;b", "&#8212;", "&#12316;", "&#165;", "&#201;t&#233;"}) {
        std::size_t at = bytes.find(kept);
        EXPECT_NE(at, std::string::npos) << kept;
        EXPECT_EQ(bytes.find(kept, at + 1), std::string::npos) << kept; // once
    }
    EXPECT_EQ(bytes.find("&amp;#128512;"), std::string::npos);
    EXPECT_NE(bytes.find("typed &amp;#65; &amp;#233;"), std::string::npos); // text stays text
    out.clear();
    ASSERT_EQ(0, runCli("tree --json " + mine, out));
    EXPECT_NE(out.find("\"name\":\"" + title + "\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"name\":\"typed &#65; &#233;\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"name\":\"Dossier Été\""), std::string::npos) << out;
    out.clear();
    ASSERT_EQ(0, runCli("tree " + mine, out));
    EXPECT_NE(out.find(title), std::string::npos) << out;
    for (const char* word : {"😀", "café", "CAFÉ", "한국어"}) {
        out.clear();
        EXPECT_EQ(0, runCli("search " + mine + " --text '" + word + "'", out)) << word;
        EXPECT_NE(out.find(title), std::string::npos) << word << out;
    }
    out.clear();
    EXPECT_EQ(1, runCli("search " + mine + " --text '&#128512;'", out))
        << out; // typed, not the emoji
    // Written again through the cabinet, the bytes stay the same.
    ASSERT_EQ(0, runCli("copy " + mine + " " + home.dir() + "Again.scb --name Bookmarks", out));
    EXPECT_EQ(testsupport::readFile(home.dir() + "Again.scb"), bytes);
}
#endif
