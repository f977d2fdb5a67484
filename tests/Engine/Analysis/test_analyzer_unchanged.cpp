#include "Engine/Analysis/clsHtmlItem.h"
#include "Engine/Http/clsUrlInformation.h"

#include "TestSupport.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// The analyzer is tuned for speed; what it finds must stay exactly what it found before.
// Random pages (links of every address form, BASE, META, images, frames, references, three
// codes, stray bytes, any block cuts) are analysed and every field of every result is
// digested; the digests recorded from the analyzer before the tuning are in
// tests/data/analyzer/unchanged-digests.txt (QUILLARA_UPDATE_GOLDEN=1 rewrites them).
namespace {

constexpr int pageCount = 400;

struct Random {
    std::uint64_t state;
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    template <std::size_t N>
    const char* pick(const char* const (&list)[N])
    {
        return list[below(N)];
    }
};

const char* const pageAddresses[] = {
    "http://example.jp/dir/page.html",   "https://Example.JP:8443/a/b/",
    "http://u:p@host/index.cgi?x=1#top", "/home/user/site/index.html",
    "file:///home/user/site/page.htm",   "C:\\site\\page.html",
    "\\\\server\\share\\page.html",      "ftp://ftp.example.jp/pub/"};
const char* const hrefs[] = {"a.html",
                             "b.HTM",
                             "pic.jpg",
                             "doc.PDF",
                             "x.cgi?y=1.png",
                             "dir/",
                             "../up/file.zip",
                             "./same.Shtml",
                             "//other.host/p.gif",
                             "http://h:99/a.b/c",
                             "https://H.example/path/to/%E3%81%82.txt",
                             "mailto:a@b.com",
                             "javascript:go()",
                             "JavaScript:void(0)",
                             "#frag",
                             "page.asp#x.png",
                             "  spaced.gif  ",
                             "file:///c:/a.txt",
                             "file://localhost/etc/x.conf",
                             "q?a=b&amp;c=d.jpg",
                             "&#104;ttp://ent.example/&copy=2.jsp",
                             "c:\\x\\y.bmp",
                             "\\\\srv\\s\\f.doc",
                             "/abs/path.mid",
                             "?only=query",
                             "",
                             "noext",
                             "a.b.c.tar.gz",
                             "http://[::1]:8080/v6.png",
                             "http://h:bad/x.jpg",
                             "data:text/plain,x",
                             "%7Euser/p.HTML",
                             "a\tb\nc.png",
                             "\x82\xA0.jpg"};
const char* const texts[] = {"text",
                             "  spaced   words ",
                             "&amp; &lt;b&gt; &nbsp;&copy;",
                             "&#26085;&#x672C;",
                             "",
                             "line\r\nbreak",
                             "<b>bold</b>",
                             "a < b > c"};
const char* const japanese[] = {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xE3\x81\x82\xE3\x81\x84",
                                "\xEF\xBD\xB1\xEF\xBD\xB2", "\xE2\x91\xA0"}; // UTF-8
const char* const sjisText[] = {"\x93\xFA\x96\x7B\x8C\xEA", "\x82\xA0\x82\xA2", "\xB1\xB2",
                                "\x87\x40"};
const char* const eucText[] = {"\xC6\xFC\xCB\xDC\xB8\xEC", "\xA4\xA2\xA4\xA4", "\x8E\xB1\x8E\xB2",
                               "\xAD\xA1"};

std::string quoted(Random& r, const std::string& value)
{
    switch (r.below(4)) {
    case 0: return "\"" + value + "\"";
    case 1: return "'" + value + "'";
    case 2: return value;
    default: return " \"  " + value + "\" ";
    }
}

std::string randomPage(Random& r)
{
    const char* const* words = r.below(3) == 0 ? sjisText : r.below(2) == 0 ? eucText : japanese;
    std::string page = r.below(3) == 0 ? "<!DOCTYPE html>\n" : "";
    for (std::size_t n = 5 + r.below(40); n > 0; --n) {
        std::string href = r.pick(hrefs), text = r.pick(texts);
        text += words[r.below(4)];
        switch (r.below(18)) {
        case 0: page += "<TITLE>" + text + "</title>"; break;
        case 1: page += "<base href=" + quoted(r, r.pick(pageAddresses)) + ">"; break;
        case 2:
            page += "<meta name=" + quoted(r, r.below(2) ? "Keywords" : "keyword") +
                    " content=" + quoted(r, text) + ">";
            break;
        case 3:
            page +=
                "<meta http-equiv=" + quoted(r, "Refresh") + " content=\"5; URL=" + href + "\">";
            break;
        case 4:
            page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" +
                    std::string(r.below(2) ? "shift_jis" : "euc-jp") + "\">";
            break;
        case 5: page += "<img src=" + quoted(r, href) + " alt=" + quoted(r, text) + ">"; break;
        case 6:
            page += "<frame src=" + quoted(r, href) + " name=" + quoted(r, text) +
                    "><iframe src=" + href + "></iframe>";
            break;
        case 7: page += "<area href=" + quoted(r, href) + " alt=" + quoted(r, text) + ">"; break;
        case 8: page += "<!-- <a href=hidden.html> -->" + text; break;
        case 9: page += "<script>var s='<a href=\"no.html\">';</script><style>a{}</style>"; break;
        case 10:
            page += std::string(1, static_cast<char>(r.below(256))) +
                    std::string(1, static_cast<char>(r.below(256)));
            break;
        case 11:
            page += "<p>" + text + "<table><tr><td>" + words[r.below(4)] + "</td></tr></table>";
            break;
        case 12: {
            // A name near the length limit, with blanks, line ends and double-byte characters.
            const char* const pieces[] = {"ab", " ", "  ",    "\r\n", "\t",
                                          "\n", "x", "&amp;", "<br>", "<b>"};
            std::string name;
            for (std::size_t length = 250 + r.below(150); name.size() < length;)
                name +=
                    r.below(3) == 0 ? std::string(words[r.below(4)]) : std::string(r.pick(pieces));
            page += "<a href=" + href + ">" + name + (r.below(2) ? "</a>" : "<p>");
            break;
        }
        case 13: page += "<title>" + text + "<" + words[r.below(4)] + "</titl" + "</TITLE>"; break;
        default:
            page += "<a class=x href=" + quoted(r, href) + (r.below(2) ? " title=t>" : ">") + text +
                    (r.below(3) ? "<img src=i.png alt=" + quoted(r, text) + ">" : "") +
                    (r.below(4) ? "</a>" : "") + "\n";
            break;
        }
    }
    return page;
}

std::uint64_t fnv(std::uint64_t hash, const std::string& text)
{
    for (unsigned char c : text)
        hash = (hash ^ c) * 0x100000001B3ull;
    return (hash ^ 0xFF) * 0x100000001B3ull; // a field separator
}

// Every field a caller can read of the analysis, digested.
std::uint64_t analyzeAndDigest(Random& r, const std::string& address, const std::string& page)
{
    clsUrlInformation owner;
    owner.set(1, 0, address);
    clsHtmlItem item;
    item.setUrlInformation(&owner);
    bool complete = false;
    std::size_t maxBlock = 1 + r.below(r.below(2) ? 8 : 3000);
    for (std::size_t at = 0; at < page.size();) {
        std::size_t n = std::min(page.size() - at, 1 + r.below(maxBlock));
        std::unique_ptr<char[]> block(new char[n + 1]);
        std::memcpy(block.get(), page.data() + at, n);
        block[n] = 0;
        item.appendBlock(std::move(block), n);
        if (r.below(2))
            item.analyze(complete);
        at += n;
    }
    item.setTransferEnded();
    item.analyze(complete);
    std::uint64_t hash = 0xCBF29CE484222325ull;
    hash = fnv(hash, std::to_string(item.getCodeKind()) + "/" + item.getTitle());
    hash = fnv(hash, item.getKeywords() ? *item.getKeywords() : "(none)");
    for (int k = 0; k < 2; ++k) {
        int count = k == 0 ? item.getLinkCount() : item.getResourceCount();
        hash = fnv(hash, std::to_string(count));
        for (int index = 0; index < count; ++index) {
            clsLinkProperties p;
            EXPECT_TRUE(k == 0 ? item.getLink(index, p) : item.getResource(index, p));
            hash = fnv(hash, std::to_string(p.linkKind));
            for (const std::string* field :
                 {&p.address, &p.name, &p.href, &p.fileName, &p.extension, &p.host})
                hash = fnv(hash, *field);
        }
    }
    item.setUrlInformation(nullptr);
    return hash;
}

} // namespace

TEST(clsHtmlItem, FindsWhatItFoundBeforeTheTuning)
{
    const auto file =
        std::filesystem::path(QUILLARA_TEST_DATA) / "analyzer" / "unchanged-digests.txt";
    std::ostringstream got;
    Random r{20261207};
    for (int i = 0; i < pageCount; ++i) {
        std::string address = r.pick(pageAddresses);
        std::string page = randomPage(r);
        got << i << " " << std::hex << analyzeAndDigest(r, address, page) << std::dec << "\n";
    }
    if (std::getenv("QUILLARA_UPDATE_GOLDEN") != nullptr)
        testsupport::writeFile(file, got.str());
    std::istringstream expected(testsupport::readFile(file)), actual(got.str());
    std::string want, have;
    int lines = 0;
    while (std::getline(expected, want)) {
        ASSERT_TRUE(std::getline(actual, have));
        EXPECT_EQ(have, want) << "page " << lines;
        ++lines;
    }
    EXPECT_EQ(lines, pageCount);
}
