#include "TreeViewItem/Formats/tviBookmarkFile.h"

#include "Platform/platformText.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::string data(const std::string& name)
{
    return testsupport::readFile(std::string(QUILLARA_TEST_DATA) + "/bookmarks/" + name);
}

std::string utf8(const std::string& sjis)
{
    std::string out;
    for (char c : platform::sjisToUtf8(sjis)) {
        out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

// One line per entry: depth, kind, name, and what the entry holds.
std::string dump(const tviCabinetDocument& doc)
{
    std::string out;
    std::vector<int> depth(doc.entries.size(), 0);
    for (size_t i = 0; i < doc.entries.size(); ++i) {
        const tviCabinetEntry& e = doc.entries[i];
        depth[i] = e.parent >= 0 ? depth[e.parent] + 1 : 0;
        out += std::string(depth[i] * 2, ' ') + (e.type == 3 ? "F [" : "I [") + utf8(e.name) + "]";
        if (e.type == 4) {
            out += " <" + utf8(e.url) + ">";
        }
        if (!e.keyword.empty()) {
            out += " tags=" + utf8(e.keyword);
        }
        out += " " + std::to_string(e.addDate) + "/" + std::to_string(e.lastModified);
        if (!e.description.empty()) {
            out += " dd=" + utf8(e.description);
        }
        out += "\n";
    }
    return out;
}

tviCabinetDocument readOk(const std::string& bytes, tviBookmarkStats* stats = nullptr)
{
    tviCabinetDocument doc;
    std::string error;
    EXPECT_TRUE(tviBookmarkFile::read(bytes, doc, error, stats)) << error;
    return doc;
}

std::string wrap(const std::string& body)
{
    return "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>T</TITLE>\n<H1>T</H1>\n<DL><p>\n" + body;
}

} // namespace

TEST(tviBookmarkFile, FirefoxExportKeepsFoldersNamesAddressesDescriptionsTagsAndDates)
{
    tviBookmarkStats stats;
    tviCabinetDocument doc = readOk(data("firefox.html"), &stats);
    EXPECT_EQ("Bookmarks", doc.name);
    EXPECT_EQ(5, stats.codeKind);
    EXPECT_EQ(0u, stats.unclosedLists);
    EXPECT_FALSE(stats.truncated);
    // 😀 (U+1F600) and 한국어 have no Shift_JIS code: they stay as references, counted.
    EXPECT_EQ(4u, stats.replaced);
    EXPECT_EQ(
        "I [Firefox を入手] <https://www.mozilla.org/ja/firefox/> tags=browser,mozilla "
        "1700000001/1700000002"
        " dd=公式サイト  (two blanks)\\r\\nsecond line of the note\n"
        "F [Bookmarks Toolbar] 1700000010/1700000011 dd=Add bookmarks to this folder to see them "
        "displayed on the Bookmarks Toolbar\n"
        "  I [Search & <find>] <https://example.com/search?q=a&b=%22c%22> 1700000020/1700000021\n"
        "  F [日本語 フォルダ] 1700000030/1700000031\n"
        "    I [日本 - Wikipedia] <https://ja.wikipedia.org/wiki/%E6%97%A5%E6%9C%AC> "
        "1700000040/1700000041\n"
        "    I [Smile 😀 and 한국어] <https://example.org/emoji> 1700000050/1700000051\n"
        "    I [Bookmarklet] <javascript:alert(%22hi%22)> 1700000060/1700000061\n"
        "    I [Data page] <data:text/html,%3Ch1%3EHi%3C/h1%3E> 1700000070/0\n"
        "  I [Most Visited] <place:sort=8&maxResults=10> 1700000080/1700000081\n"
        "F [Other Bookmarks] 1700000090/1700000091\n"
        "  I [Local page] <http://127.0.0.1/page.html> tags=local 1700000100/1700000101 dd=line "
        "one\\r\\nline two\n",
        dump(doc));
}

TEST(tviBookmarkFile, ChromeExportAndShiftJisFile)
{
    EXPECT_EQ("F [ブックマーク バー] 1690000000/1690000100\n"
              "  I [Google] <https://www.google.com/> 1690000001/0\n"
              "  F [ニュース] 1690000002/1690000003\n"
              "    I [NHK ニュース] <https://www3.nhk.or.jp/news/> 1690000004/0\n"
              "    I [Yahoo!ニュース] <https://news.yahoo.co.jp/> 1690000005/0\n"
              "F [その他のブックマーク] 1690000006/1690000007\n"
              "  I [GitHub: Let’s build from here] <https://github.com/> 1690000008/0\n",
              dump(readOk(data("chrome.html"))));
    tviBookmarkStats stats;
    tviCabinetDocument doc = readOk(data("sjis.html"), &stats);
    EXPECT_EQ(2, stats.codeKind);
    EXPECT_EQ("さとうのブックマーク", platform::sjisToUtf8(doc.name));
    // A Shift_JIS address keeps its bytes, as the old program held it.
    EXPECT_EQ("F [個人用ツールバー フォルダ] 946652400/0\n"
              "  I [Yahoo! JAPAN] <http://www.yahoo.co.jp/> 946652401/946652402\n"
              "  I [ソフト開発 表示] <http://www.example.co.jp/表示.html> 946652403/0\n"
              "I [Netscape] <http://www.netscape.com/> 0/0 dd=ネットスケープのサイト\n",
              dump(doc));
}

TEST(tviBookmarkFile, UnbalancedListsJunkAndMissingAddresses)
{
    struct Case {
        const char* what;
        std::string body;
        std::string expected;
        size_t surplus;
        size_t unclosed;
        size_t withoutHref;
    } cases[] = {
        {"surplus </DL> at the top is ignored, reading goes on",
         "<DT><A HREF=\"http://a/\">a</A>\n</DL></DL></DL>\n<DT><A HREF=\"http://b/\">b</A>\n",
         "I [a] <http://a/> 0/0\nI [b] <http://b/> 0/0\n", 2, 0, 0},
        {"missing </DL> closes at the end of the file",
         "<DT><H3>x</H3><DL><p><DT><H3>y</H3><DL><DT><A HREF=\"http://c/\">c</A>",
         "F [x] 0/0\n  F [y] 0/0\n    I [c] <http://c/> 0/0\n", 0, 3, 0},
        {"anchors without HREF are left out",
         "<DT><A NAME=\"n\">no address</A><DT><A HREF=\"\">empty</A><DT><A "
         "HREF=\"http://d/\">d</A></DL>",
         "I [d] <http://d/> 0/0\n", 0, 0, 2},
        {"junk between entries is not an entry",
         "<<<>>> &&& <DT><A HREF=http://e/ ADD_DATE=12x>e  e</A><P><B>bold</B><DT><A "
         "HREF='http://f/'>f<B>g</B></A></DL>",
         "I [e e] <http://e/> 0/0\nI [fg] <http://f/> 0/0\n", 0, 0, 0},
        {"a tag cut by the end of the file ends the read with what was built",
         "<DT><A HREF=\"http://g/\">g</A><DT><A HREF=\"http://h", "I [g] <http://g/> 0/0\n", 0, 1,
         0},
    };
    for (const Case& c : cases) {
        tviBookmarkStats stats;
        tviCabinetDocument doc = readOk(wrap(c.body), &stats);
        EXPECT_EQ(c.expected, dump(doc)) << c.what;
        EXPECT_EQ(c.surplus, stats.surplusListEnds) << c.what;
        EXPECT_EQ(c.unclosed, stats.unclosedLists) << c.what;
        EXPECT_EQ(c.withoutHref, stats.withoutHref) << c.what;
    }
}

TEST(tviBookmarkFile, RefusesWhatIsNoBookmarkFile)
{
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"no list within 1024 bytes",
         "<TITLE>t</TITLE>" + std::string(1100, ' ') + "<DL><DT><A HREF=\"x\">x</A>"},
        {"a NUL before the list", std::string("<TITLE>t</TITLE>\0<DL>", 21)},
        {"a control byte before the list", "<TITLE>t</TITLE>\x03<DL>"},
        {"no title", "<DL><DT><A HREF=\"http://a/\">a</A></DL>"},
        {"empty", ""},
    };
    for (const Case& c : cases) {
        tviCabinetDocument doc;
        std::string error;
        EXPECT_FALSE(tviBookmarkFile::read(c.bytes, doc, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_TRUE(doc.entries.empty()) << c.what;
    }
}

TEST(tviBookmarkFile, DeepFoldersAndManyEntries)
{
    struct Case {
        int depth;
        size_t folders;
        size_t flattened;
    } cases[] = {
        {1000, 1000, 0},
        {3000, static_cast<size_t>(tviBookmarkFile::maxDepth), 3000 - tviBookmarkFile::maxDepth}};
    for (const Case& c : cases) {
        std::string body;
        for (int i = 0; i < c.depth; ++i) {
            body += "<DT><H3>f</H3><DL><p>\n";
        }
        body += "<DT><A HREF=\"http://deep/\">deep</A>\n";
        for (int i = 0; i < c.depth; ++i) {
            body += "</DL><p>\n";
        }
        tviBookmarkStats stats;
        tviCabinetDocument doc = readOk(wrap(body + "</DL>"), &stats);
        ASSERT_EQ(c.folders + 1, doc.entries.size()) << c.depth;
        EXPECT_EQ(c.flattened, stats.flattened);
        EXPECT_EQ(0u, stats.unclosedLists);
        EXPECT_EQ(static_cast<int>(c.folders) - 1, doc.entries.back().parent);
    }
    std::string many;
    for (int i = 0; i < 100000; ++i) {
        many += "<DT><A HREF=\"https://example.com/" + std::to_string(i) + "\" ADD_DATE=\"" +
                std::to_string(i + 1) + "\">entry " + std::to_string(i) + "</A>\n";
    }
    tviCabinetDocument doc = readOk(wrap(many + "</DL>"));
    ASSERT_EQ(100000u, doc.entries.size());
    EXPECT_EQ("entry 99999", doc.entries.back().name);
    EXPECT_EQ(100000, doc.entries.back().addDate);
}

TEST(tviBookmarkFile, EveryCutOfAnExportReadsWithoutHarm)
{
    std::string bytes = data("firefox.html");
    size_t full = readOk(bytes).entries.size();
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        tviCabinetDocument doc;
        std::string error;
        // A cut file may be refused; what it gives must still be a prefix of the whole.
        (void)tviBookmarkFile::read(std::string_view(bytes).substr(0, cut), doc, error);
        ASSERT_LE(doc.entries.size(), full) << cut;
        for (size_t i = 0; i < doc.entries.size(); ++i) {
            ASSERT_LT(doc.entries[i].parent, static_cast<int>(i)) << cut;
        }
    }
}

// A written file reads back as it was: nesting deeper than the indent goes, order, markup and
// Japanese characters, multi-line descriptions of folders and items with their blanks and
// empty lines, keywords, dates, marks; an empty folder stays. It is UTF-8 and a bookmark file.
TEST(tviBookmarkFile, WrittenFileReadsBackUnchanged)
{
    tviCabinetDocument doc;
    doc.name = platform::utf8ToSjis("箱 <&> \"引用\"");
    auto add = [&doc](int type, int parent, const char* utf8Name,
                      const char* url = "") -> tviCabinetEntry& {
        tviCabinetEntry e;
        e.type = type;
        e.parent = parent;
        e.name = platform::utf8ToSjis(utf8Name);
        e.url = url;
        doc.entries.push_back(e);
        return doc.entries.back();
    };
    tviCabinetEntry& folder = add(3, -1, "資料 & 本");
    folder.description = platform::utf8ToSjis("フォルダの説明\r\n  二行目");
    folder.addDate = 1600000000;
    folder.lastModified = 1600000100;
    folder.marked = true;
    tviCabinetEntry& item = add(4, 0, "コーヒー <豆>", "http://example.com/a?x=1&y=\"2\"");
    item.keyword = platform::utf8ToSjis("tea,日本");
    item.description = "line one\r\n  indented\r\n\r\nafter an empty line";
    item.addDate = 1500000000;
    item.lastModified = 1500000500;
    item.marked = true;
    add(3, 0, "空");
    int parent = -1;
    for (int depth = 0; depth < 20; ++depth) {
        add(3, parent, ("level " + std::to_string(depth)).c_str());
        parent = static_cast<int>(doc.entries.size()) - 1;
    }
    add(4, parent, "deepest", "https://example.org/deep");
    add(4, -1, "last", "ftp://example.net/file.txt").addDate = 1;

    std::string bytes = tviBookmarkFile::write(doc);
    EXPECT_TRUE(tviBookmarkFile::isBookmarkFile(bytes));
    EXPECT_EQ(5, tviBookmarkFile::codeOf(bytes));
    EXPECT_EQ(0u, bytes.find("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"));
    tviCabinetDocument back = readOk(bytes);
    EXPECT_EQ(utf8(doc.name), utf8(back.name));
    EXPECT_EQ(dump(doc), dump(back));
    ASSERT_EQ(doc.entries.size(), back.entries.size());
    for (size_t i = 0; i < doc.entries.size(); ++i) {
        EXPECT_EQ(doc.entries[i].marked, back.entries[i].marked) << i;
    }
}
