#include "TreeViewItem/Formats/tviCabinetFile.h"

#include "Engine/Analysis/utlHtmlText.h"
#include "Platform/platformText.h"
#include "TestSupport.h"
#include "TreeViewItem/Cabinet/tviCabinetGenerator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

std::string show(const std::string& sjis)
{
    std::string out;
    for (char c : platform::sjisToUtf8(sjis)) {
        out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

// The document as text, for the golden files and for comparing two reads.
std::string dump(const tviCabinetDocument& doc, bool whole, const std::string& error)
{
    std::string out = "name: " + show(doc.name) + "\ndescription: " + show(doc.description) +
                      "\nproduct: " + std::to_string(doc.productMark) +
                      " newer: " + std::to_string(doc.newerVersion) +
                      "\nwhole: " + std::to_string(whole) + " error: " + error + "\n";
    std::vector<int> depth(doc.entries.size(), 1);
    for (size_t i = 0; i < doc.entries.size(); ++i) {
        const tviCabinetEntry& e = doc.entries[i];
        if (e.parent >= 0) {
            depth[i] = depth[e.parent] + 1;
        }
        out += std::string(depth[i] * 2, ' ') + (e.type == 3 ? "F" : "I") +
               " mark=" + std::to_string(e.marked) + " name=[" + show(e.name) + "]";
        if (e.type == 4) {
            out += " status=" + std::to_string(e.status) + " url=[" + show(e.url) + "] keyword=[" +
                   show(e.keyword) + "] title=[" + show(e.title) + "]";
            if (!e.archived.empty()) {
                out += " archived=[" + show(e.archived) +
                       "] archived_date=" + std::to_string(e.archivedDate);
            }
        }
        out += " desc=[" + show(e.description) + "]\n";
    }
    return out;
}

tviCabinetDocument roundTrip(const tviCabinetDocument& doc, std::string* first = nullptr,
                             std::string* second = nullptr)
{
    std::string bytes = tviCabinetFile::write(doc);
    tviCabinetDocument back;
    std::string error;
    EXPECT_TRUE(tviCabinetFile::read(bytes, back, error)) << error;
    if (first != nullptr) {
        *first = bytes;
    }
    if (second != nullptr) {
        *second = tviCabinetFile::write(back);
    }
    return back;
}

tviCabinetEntry item(std::string name, std::string url, int parent = -1)
{
    tviCabinetEntry e;
    e.type = 4;
    e.name = std::move(name);
    e.url = std::move(url);
    e.parent = parent;
    return e;
}

} // namespace

TEST(tviCabinetFile, GoldenFilesReadAsExpected)
{
    std::filesystem::path dir = std::filesystem::path(QUILLARA_TEST_DATA) / "cabinet";
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "input")) {
        std::string bytes = testsupport::readFile(entry.path());
        tviCabinetDocument doc;
        std::string error;
        bool whole = tviCabinetFile::read(bytes, doc, error);
        std::filesystem::path expected = dir / "expected" / entry.path().stem();
        expected += ".txt";
        if (std::getenv("QUILLARA_UPDATE_GOLDEN") != nullptr) {
            testsupport::writeFile(expected, dump(doc, whole, error));
        }
        EXPECT_EQ(testsupport::readFile(expected), dump(doc, whole, error)) << entry.path();
        ++checked;
    }
    EXPECT_GE(checked, 4);
}

TEST(tviCabinetFile, RoundTripOfEveryAttributeIsByteIdentical)
{
    tviCabinetDocument doc;
    doc.name = "Box <&> \"q\"  two";
    doc.description = "line one\r\nline  two & <three>";
    tviCabinetEntry folder;
    folder.type = 3;
    folder.name = " lead blank and trail ";
    folder.description = "folder\r\ndescription";
    folder.marked = true;
    doc.entries.push_back(folder);
    tviCabinetEntry e = item("name", "http://h/p?a=1&amount=2", 0);
    e.keyword = "k1,k2 & \"k3\"";
    e.title = "title ends in a blank ";
    e.status = 5;
    e.marked = true;
    e.description = "d1\r\nd2  spaced\ttab";
    e.archived = "http://archive/web/20170715024000/http://h/p?a=1&amount=2";
    e.archivedDate = 1500086400;
    doc.entries.push_back(e);
    tviCabinetEntry nested = folder;
    nested.parent = 0;
    nested.marked = false;
    nested.description.clear();
    doc.entries.push_back(nested);
    doc.entries.push_back(item("deep", "file:///tmp/a.html", 2));
    doc.entries.push_back(item("top", "ftp://x/", -1));
    doc.productMark = true;

    std::string first, second;
    tviCabinetDocument back = roundTrip(doc, &first, &second);
    EXPECT_EQ(dump(doc, true, ""), dump(back, true, ""));
    EXPECT_EQ(first, second);
    EXPECT_NE(first.find(" archived=\"http://archive/web/20170715024000/http://h/"
                         "p?a=1&amp;amount=2\" archived_date=\"1500086400\""),
              std::string::npos);
    EXPECT_NE(first.find("\r\n"), std::string::npos);
    EXPECT_EQ(first.find('\n'), first.find("\r\n") + 1);
}

TEST(tviCabinetFile, JapaneseTrailBytesThatLookLikeMarkupSurvive)
{
    // A lead byte takes the next byte whatever it is, so these pairs must never be taken for
    // a quote, a tag or a blank, in either direction.
    const std::string names[] = {
        "\x95\x5c\x8e\xa6",         // 表示: trail byte '\'
        "\x83\x5c\x83\x74\x83\x67", // ソフト
        "a\x81<b",                  // lead byte with '<'
        "a\x81\"b",                 // with '"'
        "a\x81'b",                  // with '\''
        "a\x81 b",                  // with a blank
        "\x93\xfa\x96\x7b\x8c\xea", // 日本語
    };
    for (const std::string& name : names) {
        tviCabinetDocument doc;
        doc.productMark = true;
        doc.name = name;
        tviCabinetEntry folder;
        folder.type = 3;
        folder.name = name;
        folder.description = name;
        doc.entries.push_back(folder);
        tviCabinetEntry e = item(name, "http://h/" + name, 0);
        e.title = name;
        e.keyword = name;
        e.description = name;
        e.status = 5;
        doc.entries.push_back(e);
        std::string first, second;
        tviCabinetDocument back = roundTrip(doc, &first, &second);
        EXPECT_EQ(dump(doc, true, ""), dump(back, true, "")) << show(name);
        EXPECT_EQ(first, second) << show(name);
    }
}

TEST(tviCabinetFile, AddressesSurviveExactlyAndRawFilesReadUnchanged)
{
    const std::string addresses[] = {
        "http://h/?a=1&amount=2", "http://h/?q=\"quoted\"", "http://h/<tag>",
        "http://h/&amp;already",  "http://h/&lt;",          "http://h/\x93\xfa\x96\x7b",
        "http://h/a b",
    };
    for (const std::string& url : addresses) {
        tviCabinetDocument doc;
        doc.entries.push_back(item("n", url));
        EXPECT_EQ(url, roundTrip(doc).entries.at(0).url);
    }
    // Files written by the old writer carry addresses raw.
    std::string raw =
        "<TITLE>t</TITLE><DL><DT><A HREF=\"http://h/?a=1&amount=2&copy=3\">n</A></DL>";
    tviCabinetDocument doc;
    std::string error;
    ASSERT_TRUE(tviCabinetFile::read(raw, doc, error)) << error;
    ASSERT_EQ(1u, doc.entries.size());
    EXPECT_EQ("http://h/?a=1&amount=2&copy=3", doc.entries[0].url);
}

// What the analyzer gives for a page (references decoded into '&', '<', '"' and Japanese) is
// stored and read back exactly: title, keywords and name as text, the address as it is.
TEST(tviCabinetFile, DecodedPageTextRoundTripsExactly)
{
    const struct {
        std::string title;
        std::string href;
    } pages[] = {
        {"AT&amp;T &#12509;&#x30FC;&#12479;&#12523; &lt;b&gt; &quot;q&quot; &amp;amp; "
         "\x93\xfa\x96\x7b",
         "search?q=&#12509;&amp;t=&lt;a&gt;&amp;s=&quot;x&quot;&amp;e=&#x1F600;"},
        {"&nbsp;&nbsp;&lt;&nbsp;&gt;&nbsp;&amp;&nbsp;", "a&amp;b&#38;c&#x26;d&copy=2&amp"},
        // Kept references, and references that are text.
        {"Caf&eacute; &#x1F600; &amp;#233; &amp;#65; &mdash;&#12316;", "x"},
    };
    for (const auto& page : pages) {
        std::string title = page.title;
        decodeCharacterReferences(title, ReferenceTarget::text);
        std::string url = "http://example.jp/" + page.href;
        decodeCharacterReferences(url, ReferenceTarget::address);
        ASSERT_EQ(url.find("&amp;"), std::string::npos) << url;
        tviCabinetDocument doc;
        doc.productMark = true;
        tviCabinetEntry e = item(title, url);
        e.title = title;
        e.keyword = title + "," + title;
        doc.entries.push_back(e);
        std::string first, second;
        tviCabinetDocument back = roundTrip(doc, &first, &second);
        ASSERT_EQ(back.entries.size(), 1u);
        EXPECT_EQ(back.entries[0].title, title) << show(title);
        EXPECT_EQ(back.entries[0].name, title) << show(title);
        EXPECT_EQ(back.entries[0].keyword, e.keyword) << show(title);
        EXPECT_EQ(back.entries[0].url, url) << show(url);
        EXPECT_EQ(first, second);
        EXPECT_EQ(first.find("&amp;#128512;"), std::string::npos);
    }
}

TEST(tviCabinetFile, VersionAndProductMarkDecideWritability)
{
    struct Case {
        std::string head;
        bool product;
        bool newer;
    } cases[] = {
        {R"(<META name="quillara" content="cabinet"><META name="version" content="01.00.00">)",
         true, false},
        {R"(<META name="quillara" content="cabinet"><META name="version" content="01.00.05">)",
         true, false},
        {R"(<META name="quillara" content="cabinet"><META name="version" content="01.01.00">)",
         true, true},
        {R"(<META name="version" content="01.00.00">)", false, false},
    };
    for (const Case& c : cases) {
        std::string file = "<HTML><HEAD><TITLE>t</TITLE>" + c.head +
                           "</HEAD><BODY><DL><DT><A HREF=\"http://x/\">x</A></DL></BODY>";
        tviCabinetDocument doc;
        std::string error;
        EXPECT_TRUE(tviCabinetFile::read(file, doc, error)) << error;
        EXPECT_EQ(c.product, doc.productMark) << c.head;
        EXPECT_EQ(c.newer, doc.newerVersion) << c.head;
        EXPECT_EQ(1u, doc.entries.size());
    }
}

TEST(tviCabinetFile, NoLineLengthLimit)
{
    tviCabinetDocument doc;
    std::string longName(5 * 1024 * 1024, 'n');
    doc.entries.push_back(item(longName, "http://h/" + std::string(100000, 'u')));
    doc.entries.push_back(item("next", "http://h/next"));
    tviCabinetDocument back = roundTrip(doc);
    ASSERT_EQ(2u, back.entries.size());
    EXPECT_EQ(longName, back.entries[0].name);
    EXPECT_EQ("next", back.entries[1].name);
}

TEST(tviCabinetFile, DeepNestingStopsWithAnErrorNotAStackOverflow)
{
    std::string file = "<TITLE>t</TITLE><DL>";
    for (int i = 0; i < 10000; ++i) {
        file += "<DT><H3>f</H3><DL>";
    }
    for (int i = 0; i < 10000; ++i) {
        file += "</DL>";
    }
    file += "</DL>";
    tviCabinetDocument doc;
    std::string error;
    EXPECT_FALSE(tviCabinetFile::read(file, doc, error));
    EXPECT_NE(std::string::npos, error.find("nested"));
    EXPECT_EQ(static_cast<size_t>(tviCabinetFile::maxDepth), doc.entries.size());
    // A document deeper than the cap still writes without recursion.
    tviCabinetDocument deep;
    for (int i = 0; i < 10000; ++i) {
        tviCabinetEntry f;
        f.type = 3;
        f.parent = i - 1;
        deep.entries.push_back(f);
    }
    EXPECT_LT(0u, tviCabinetFile::write(deep).size());
}

TEST(tviCabinetFile, FileCutAtAnyOffsetIsPartialNeverWhole)
{
    tviCabinetDocument doc = tviCabinetGenerator::generate(15, 7);
    std::string bytes = tviCabinetFile::write(doc);
    size_t bodyEnd = bytes.rfind("</DL>\r\n</BODY>");
    ASSERT_NE(std::string::npos, bodyEnd);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        tviCabinetDocument part;
        std::string error;
        bool whole = tviCabinetFile::read(std::string_view(bytes).substr(0, cut), part, error);
        if (cut < bodyEnd + 5) {
            ASSERT_FALSE(whole) << "cut at " << cut;
            ASSERT_FALSE(error.empty());
        } else {
            ASSERT_TRUE(whole) << "cut at " << cut << ": " << error;
        }
        ASSERT_LE(part.entries.size(), doc.entries.size());
    }
}

TEST(tviCabinetFile, BadInputIsReadAsFarAsSound)
{
    std::string good = tviCabinetFile::write(tviCabinetGenerator::generate(20, 3));
    struct Case {
        std::string label;
        std::string bytes;
    } cases[] = {
        {"NUL bytes", good.substr(0, 300) + std::string(3, '\0') + good.substr(300)},
        {"lead byte at the very end", good.substr(0, good.size() / 2) + "\x82"},
        {"unclosed tag", good.substr(0, good.find("<DT>", 400)) + "<DT><A HREF=\"x\" "},
        {"no TITLE", "<DL><DT><A HREF=\"x\">x</A></DL>"},
        {"no DL", "<TITLE>t</TITLE><P>nothing</P>"},
        {"unclosed quote", "<TITLE>t</TITLE><DL><DT><A HREF=\"x>x</A></DL>"},
        {"empty", ""},
    };
    for (const Case& c : cases) {
        tviCabinetDocument doc;
        std::string error;
        EXPECT_FALSE(tviCabinetFile::read(c.bytes, doc, error)) << c.label;
        EXPECT_FALSE(error.empty()) << c.label;
    }
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        std::string junk = good;
        for (int k = 0; k < 20; ++k) {
            junk[rng() % junk.size()] = static_cast<char>(rng() % 256);
        }
        tviCabinetDocument doc;
        std::string error;
        // Junk may be refused; whatever was read must still write.
        (void)tviCabinetFile::read(junk, doc, error);
        tviCabinetFile::write(doc);
    }
}

// Entries handed on one by one as they are read are the entries of the whole document, with
// the same result and error, and the head is known before the first of them arrives.
TEST(tviCabinetFile, EntriesHandedOnAsReadAreTheDocumentsEntries)
{
    std::string good = tviCabinetFile::write(tviCabinetGenerator::generate(60, 5));
    std::vector<std::string> inputs;
    for (size_t cut = 0; cut < good.size(); cut += 53) {
        inputs.push_back(good.substr(0, cut));
    }
    std::mt19937 rng(17);
    for (int round = 0; round < 80; ++round) {
        std::string junk = good;
        for (int k = 0; k < 12; ++k) {
            junk[rng() % junk.size()] = static_cast<char>("<>/\"&\0\x82 DLA"[rng() % 12]);
        }
        inputs.push_back(junk);
    }
    inputs.push_back(
        "<TITLE>\xe6\x97\xa5</TITLE><DL><DT><A HREF=\"http://x/\">\xe6\x97\xa5</A></DL>");
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(QUILLARA_TEST_DATA) / "cabinet" / "input")) {
        inputs.push_back(testsupport::readFile(entry.path()));
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        tviCabinetDocument whole;
        std::string wholeError;
        bool wholeOk = tviCabinetFile::read(inputs[i], whole, wholeError);
        tviCabinetDocument streamed;
        std::string error;
        std::vector<tviCabinetEntry> got;
        std::string headAtFirst;
        bool ok = tviCabinetFile::read(inputs[i], streamed, error, [&](tviCabinetEntry& e) {
            if (got.empty()) {
                headAtFirst = dump(streamed, true, "");
            }
            got.push_back(std::move(e));
        });
        ASSERT_TRUE(streamed.entries.empty()) << i;
        if (!got.empty()) {
            ASSERT_EQ(headAtFirst, dump(streamed, true, "")) << i;
        }
        streamed.entries = std::move(got);
        ASSERT_EQ(dump(whole, wholeOk, wholeError), dump(streamed, ok, error)) << "input " << i;
    }
}

TEST(tviCabinetFile, Utf8FileIsConvertedAndMarkedPartial)
{
    std::string file = "<TITLE>\xe6\x97\xa5\xe6\x9c\xac</TITLE><DL><DT><A HREF=\"http://x/\">"
                       "\xe8\xa1\xa8</A></DL>"; // 日本, 表
    tviCabinetDocument doc;
    std::string error;
    EXPECT_FALSE(tviCabinetFile::read(file, doc, error));
    EXPECT_NE(std::string::npos, error.find("UTF-8"));
    EXPECT_TRUE(doc.convertedFromUtf8);
    EXPECT_EQ("\x93\xfa\x96\x7b", doc.name);
    ASSERT_EQ(1u, doc.entries.size());
    EXPECT_EQ("\x95\x5c", doc.entries[0].name);
}

TEST(tviCabinetFile, GeneratedCabinetRoundTripsByteIdentical)
{
    tviCabinetDocument doc = tviCabinetGenerator::generate(3000, 5);
    std::string first, second;
    tviCabinetDocument back = roundTrip(doc, &first, &second);
    EXPECT_EQ(doc.entries.size(), back.entries.size());
    EXPECT_EQ(dump(doc, true, ""), dump(back, true, ""));
    EXPECT_EQ(first, second);
}

TEST(tviCabinetFile, StrayBytesInFieldsReadBackAsWritten)
{
    const std::string values[] = {
        std::string("\x81"),
        std::string("a\x81"),
        std::string("\x81\""),
        std::string("\x81>"),
        std::string("\x81<A>"),
        std::string("\x81&amp;"),
        std::string("\0\x81\0", 3),
        std::string("\x01\x02\x1b\x7f"),
        std::string("\x81\t\x81\r\n\x81"),
        std::string("\xfd\xfe\xff"),
        std::string("\x82\xa0\x81"),
    };
    for (const std::string& v : values) {
        tviCabinetDocument doc;
        doc.name = v;
        doc.description = v;
        tviCabinetEntry e;
        e.type = 3;
        e.name = v;
        e.description = v;
        doc.entries.push_back(e);
        e.type = 4;
        e.parent = 0;
        e.url = v + "://h/" + v;
        e.keyword = v;
        e.title = v;
        doc.entries.push_back(e);
        std::string once = tviCabinetFile::write(doc);
        tviCabinetDocument back;
        std::string error;
        ASSERT_TRUE(tviCabinetFile::read(once, back, error))
            << error << " for " << testing::PrintToString(v);
        ASSERT_EQ(doc.entries.size(), back.entries.size()) << testing::PrintToString(v);
        EXPECT_EQ(once, tviCabinetFile::write(back)) << testing::PrintToString(v);
    }
}
