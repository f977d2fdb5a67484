#include "AnalyzerTestSupport.h"

#include "TestSupport.h"

#include "Engine/Analysis/clsHtmlScanner.h"
#include "Engine/Text/utlKanjiConverter.h"

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

const std::filesystem::path goldenDirectory =
    std::filesystem::path(QUILLARA_TEST_DATA) / "analyzer";
const std::string pageAddress = "http://example.jp/dir/page.html";

std::vector<std::filesystem::path> goldenInputs()
{
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(goldenDirectory / "input"))
        inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

} // namespace

// Each input page must give exactly what its expected file says (links, names, resources,
// title, keywords and code). QUILLARA_UPDATE_GOLDEN=1 rewrites the expected files, which
// are then read and checked by hand before they are committed.
TEST(clsHtmlItem, GoldenPages)
{
    bool update = std::getenv("QUILLARA_UPDATE_GOLDEN") != nullptr;
    auto inputs = goldenInputs();
    ASSERT_GT(inputs.size(), 10u);
    for (const auto& input : inputs) {
        std::string got = analyzeBytes(testsupport::readFile(input), pageAddress, 0).describe();
        auto expected = goldenDirectory / "expected" / input.filename().replace_extension(".txt");
        if (update)
            testsupport::writeFile(expected, got);
        EXPECT_EQ(got, testsupport::readFile(expected)) << input.filename();
    }
}

// Cutting a page into blocks anywhere must not change what is found.
TEST(clsHtmlItem, SameResultWhereverThePageIsCut)
{
    for (const auto& input : goldenInputs()) {
        std::string bytes = testsupport::readFile(input);
        std::string whole = analyzeBytes(bytes, pageAddress, 0).describe();
        for (std::size_t size : {1, 2, 3, 2048})
            EXPECT_EQ(analyzeBytes(bytes, pageAddress, size).describe(), whole)
                << input.filename() << " " << size;
        for (std::size_t cut = 1; cut < bytes.size(); ++cut)
            ASSERT_EQ(analyzeCutAt(bytes, pageAddress, cut).describe(), whole)
                << input.filename() << " cut " << cut;
    }
}

// The text of a UTF-8 page outside anchors is passed over without being converted; what is
// found must be what the converted page gives, read as Shift_JIS, wherever the page is cut
// and whether its code is known or detected: long text before and after anchors, titles,
// comments and scripts, broken characters and line ends right before a tag.
TEST(clsHtmlItem, TextPassedOverUnconvertedGivesWhatConvertedTextGives)
{
    const std::string words[] = {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
                                 "\xE3\x81\x82 ",
                                 "abc ",
                                 "\xEF\xBD\xB1",
                                 "\xF0\x9F\x98\x80",
                                 "\r\n",
                                 "\xE2\x91\xA0",
                                 "x > y "};
    const std::string breaks[] = {"\xE3\x81", "\xE6", "\r", "\xF0\x9F", "\xC3", ""};
    std::uint64_t seed = 7;
    auto below = [&seed](std::size_t n) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::size_t>((seed >> 33) % n);
    };
    auto text = [&](std::size_t bytes) {
        std::string out;
        while (out.size() < bytes)
            out += words[below(std::size(words))];
        return out;
    };
    std::size_t links = 0;
    for (int n = 0; n < 40; ++n) {
        std::string page = "<title>" + text(20 + below(200)) + "</title>";
        for (std::size_t parts = 3 + below(12); parts > 0; --parts) {
            std::string href = "p" + std::to_string(below(100)) + ".html";
            switch (below(7)) {
            case 0: page += "<a href=" + href + ">" + text(below(400)) + "</a>"; break;
            case 1: page += "<a href=" + href + ">" + text(below(300)) + "<p>"; break;
            case 2: page += "<!-- " + text(below(200)) + "<a href=no.html> -->"; break;
            case 3: page += "<script>if (a<b) x = '" + text(below(200)) + "';</script>"; break;
            case 4: page += "<img src=i.png alt='" + text(below(100)) + "'>"; break;
            default: page += "<p>" + text(below(500)); break;
            }
            page += breaks[below(std::size(breaks))];
        }
        utlKanjiConverter converter;
        converter.setConverterCode(utlKanjiConverter::codeUtf8);
        ASSERT_TRUE(converter.convertCode(page.data(), page.size()));
        std::string sjis = converter.lastOutput();
        ASSERT_TRUE(converter.finishCode());
        sjis += converter.lastOutput();
        AnalyzedPage expected = analyzeBytes(sjis, pageAddress, 0, utlKanjiConverter::codeSjis);
        expected.code = utlKanjiConverter::codeUtf8;
        links += expected.links.size();
        for (int code : {0, int{utlKanjiConverter::codeUtf8}}) {
            for (std::size_t size : {0, 1, 2, 3, 5, 64, 100, 127, 129, 2048}) {
                AnalyzedPage got = analyzeBytes(page, pageAddress, size, code);
                ASSERT_EQ(got.describe(), expected.describe())
                    << "page " << n << " blocks of " << size << " code " << code;
            }
        }
    }
    EXPECT_GT(links, 100u);
}

// Hostile pages: huge attributes, endless comments, many links, binary bytes. Memory stays
// bounded by the page and nothing is read outside a block (the sanitizer build checks that).
TEST(clsHtmlItem, SurvivesHostilePages)
{
    std::string hugeAttribute =
        "<a href=\"x.html\" title=\"" + std::string(10 * 1024 * 1024, 'a') + "\">huge</a>";
    AnalyzedPage page = analyzeBytes(hugeAttribute, pageAddress, 65536);
    ASSERT_EQ(page.links.size(), 1u);
    EXPECT_EQ(page.links[0].name, "huge");

    std::string manyLinks;
    for (int i = 0; i < 100000; ++i)
        manyLinks += "<a href=" + std::to_string(i) + ".htm>" + std::to_string(i) + "</a>";
    page = analyzeBytes(manyLinks, pageAddress, 2048);
    EXPECT_EQ(page.links.size(), 100000u);
    EXPECT_EQ(page.links.back().url, "http://example.jp/dir/99999.htm");

    std::string binary;
    for (int i = 0; i < 50000; ++i)
        binary += static_cast<char>((i * 7919) % 256);
    for (std::size_t size : {1, 3, 4096})
        analyzeBytes(binary, pageAddress, size);

    for (const char* unterminated :
         {"<!-- <a href=a.htm>a</a>", "<style><a href=a.htm>", "<script>x",
          "<title>never ends <a href=a.htm>", "<a href=\"a.htm", "\x82"}) {
        page = analyzeBytes(unterminated, pageAddress, 1);
        EXPECT_TRUE(page.links.empty()) << unterminated;
    }
}

namespace {

// The scanner alone, recording the addresses of links, fed in two blocks cut at offset.
class LinkRecorder : public clsHtmlScanner {
public:
    std::string links;
    std::string title;

protected:
    bool reportLink(int, const std::string& address, const std::string& name,
                    const std::string&) override
    {
        links += address + "=" + name + ";";
        return true;
    }
    bool reportResource(int, const std::string&, const std::string&) override { return true; }
    bool reportTitle(const std::string& text) override
    {
        title = text;
        return true;
    }
};

std::string scannedLinks(const std::string& text, std::size_t cut)
{
    LinkRecorder scanner;
    scanner.setPageAddress(1, "http://example.jp/");
    scanner.scanBlock(text.data(), cut);
    scanner.scanBlock(text.data() + cut, text.size() - cut);
    scanner.finishScan();
    return scanner.links;
}

} // namespace

// A title is kept up to 1 KB and never ends inside a character, however the page is cut:
// double-byte characters fall on the limit at either parity, and more title text after it
// (also in a second TITLE) is dropped. The scanner alone also sees blocks that end between
// the two bytes of a character, which the converter never hands on.
TEST(clsHtmlItem, CutsTheTitleAtOneKilobyteOnACharacter)
{
    const std::string pair = "\x82\xA0"; // a hiragana in Shift_JIS
    for (std::size_t ascii = 1010; ascii <= 1026; ++ascii) {
        std::string text = std::string(ascii, 'a');
        for (int k = 0; k < 12; ++k)
            text += pair + (k % 3 == 0 ? "b" : "");
        std::string expected;
        for (std::size_t i = 0; i < text.size();) {
            std::size_t size = static_cast<unsigned char>(text[i]) == 0x82 ? 2 : 1;
            if (expected.size() + size > 1024)
                break;
            expected.append(text, i, size);
            i += size;
        }
        // The characters before the title decide the code, so that the title reaches the
        // scanner cut as the page is.
        const std::string head = "<html><!-- " + pair + pair + pair + pair + pair + " --><title>";
        std::string bytes = head + text + "</title><title>x</title>" + pair + pair + "</html>";
        for (std::size_t block : {0, 1, 2, 7, 1023, 2048}) {
            AnalyzedPage page = analyzeBytes(bytes, pageAddress, block);
            EXPECT_EQ(page.title, expected) << ascii << " in blocks of " << block;
        }
        for (std::size_t cut = head.size() + 1000; cut < head.size() + 1040; ++cut) {
            LinkRecorder scanner;
            scanner.scanBlock(bytes.data(), cut);
            scanner.scanBlock(bytes.data() + cut, bytes.size() - cut);
            scanner.finishScan();
            EXPECT_EQ(scanner.title, expected) << ascii << " cut at " << cut;
        }
    }
}

// Malformed Shift_JIS: a '<' or '>' right after a lead byte is its trail, and opens or
// closes nothing; after an even run of lead-byte values it is a character of its own. The
// scanner searches for '<' and '>' in bulk, so the pairing must still be counted right.
TEST(clsHtmlScanner, TrailBytesNeverOpenOrCloseTags)
{
    struct Case {
        const char* what;
        std::string text;
        std::string links;
    } cases[] = {
        {"lead before '<'", "\x82\xA0\x81<a href=a.html>a</a>", ""},
        {"two lead values before '<'", "\x82\x9F<a href=b.html>b</a>",
         "http://example.jp/b.html=b;"},
        {"three lead values before '<'", "\x82\x82\x9F<a href=c.html>c</a>", ""},
        {"lead before '>' in a tag", "<a href=d.html title=\x81>>d</a>",
         "http://example.jp/d.html=d;"},
        {"lead before '>' in an unknown tag", "<zz \x81><a href=e.html>e</a>>f", ""},
        {"lead before '<' in SCRIPT",
         "<script>\x81</script><a href=g.html>g</a></script><a href=h.html>h</a>",
         "http://example.jp/h.html=h;"},
    };
    for (const Case& c : cases) {
        for (std::size_t cut = 0; cut <= c.text.size(); ++cut)
            ASSERT_EQ(scannedLinks(c.text, cut), c.links) << c.what << " cut " << cut;
    }
}

namespace {

// Records every change of state the scanner traces.
class StateRecorder : public LinkRecorder {
public:
    StateRecorder() { traceStates = true; }
    std::string changes;

protected:
    void traceState(ScanState from, SubState fromSub, ScanState to, SubState toSub) override
    {
        changes += std::string(stateName(from)) + "/" + subStateName(fromSub) + ">" +
                   stateName(to) + "/" + subStateName(toSub) + " ";
    }
};

} // namespace

// In debug builds every change of state goes through the one traced function, in bulk as
// byte by byte, so a trace shows the same path wherever the page is cut.
TEST(clsHtmlScanner, TracesEveryChangeOfState)
{
#ifdef NDEBUG
    GTEST_SKIP() << "states are traced in debug builds only";
#else
    const std::string page = "<!x><a href=a>A</a><!---->";
    const std::string expected =
        "text/start>open/start open/start>bang/start bang/start>bang/declaration "
        "bang/declaration>text/start text/start>open/start open/start>startTag/start "
        "startTag/start>startTag/attributes startTag/attributes>text/start "
        "text/start>open/start open/start>endTag/start endTag/start>endTag/endTagRest "
        "endTag/endTagRest>text/start text/start>open/start open/start>bang/start "
        "bang/start>bang/comment bang/comment>text/start ";
    for (std::size_t cut = 0; cut <= page.size(); ++cut) {
        StateRecorder scanner;
        scanner.setPageAddress(1, "http://example.jp/");
        scanner.scanBlock(page.data(), cut);
        scanner.scanBlock(page.data() + cut, page.size() - cut);
        ASSERT_EQ(scanner.changes, expected) << "cut " << cut;
        EXPECT_EQ(scanner.links, "http://example.jp/a=A;");
    }
#endif
}
