// The page and style sheet rewriter of snapshots, case by case.
#include "Engine/Snapshot/clsSnapshotRewriter.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using R = clsSnapshotRewriter;

// Names every fetched address "L:" + its address, and remembers the kinds it was asked for.
struct Namer {
    std::map<std::string, int> asked;
    R::NameFor fn()
    {
        return [this](const std::string& address, R::RefKind kind) {
            asked[address] = kind;
            return address.find("keep") != std::string::npos ? std::string() : "L:" + address;
        };
    }
};

const std::string base = "http://h.example/dir/page.html";

TEST(SnapshotRewriter, RewritesEachRuleOfThePage)
{
    struct Case {
        const char* in;
        const char* out;
    };
    const std::vector<Case> cases = {
        // Whole tag names: BASEFONT is no BASE, ABBR no A.
        {"<basefont href=x><abbr href=y>", "<basefont href=x><abbr href=y>"},
        {"<base href=\"http://o.example/b/\"><img src=i.gif>", "<img src=L:http://o.example/b/i.gif>"},
        {"<base target=_top><img src=i.gif>", "<base target=_top><img src=L:http://h.example/dir/i.gif>"},
        {"<a href='../x.html#t'>", "<a href='http://h.example/x.html#t'>"},
        {"<a href=\"#top\">", "<a href=\"#top\">"},
        {"<A HREF=\"q.cgi?a=1&amp;b=2\">", "<A HREF=\"http://h.example/dir/q.cgi?a=1&amp;b=2\">"},
        {"<frame src=f.html><iframe src=\"g.htm#x\">",
         "<frame src=L:http://h.example/dir/f.html><iframe src=\"L:http://h.example/dir/g.htm#x\">"},
        {"<link href=\"s.css\" rel=\"stylesheet\">", "<link href=\"L:http://h.example/dir/s.css\" rel=\"stylesheet\">"},
        {"<link rel=\"shortcut icon\" href=/f.ico>", "<link rel=\"shortcut icon\" href=L:http://h.example/f.ico>"},
        {"<link rel=canonical href=/c>", "<link rel=canonical href=http://h.example/c>"},
        {"<body background=bg.png>", "<body background=L:http://h.example/dir/bg.png>"},
        {"<meta content=\"text/html; charset=euc-jp\" http-equiv=Content-Type>",
         "<meta content=\"text/html; charset=shift_jis\" http-equiv=Content-Type>"},
        {"<meta charset=\"utf-8\">", "<meta charset=\"shift_jis\">"},
        {"<img src=\"data:image/gif;base64,AAAA\">", "<img src=\"data:image/gif;base64,AAAA\">"},
        {"<img src=\"file:///etc/passwd\">", "<img src=\"L:file:///etc/passwd\">"},
        {"<img src=a.gif srcset=\"b.gif 2x, c.gif 3x\">",
         "<img src=L:http://h.example/dir/a.gif srcset=\"L:http://h.example/dir/b.gif 2x, L:http://h.example/dir/c.gif 3x\">"},
        {"<img src=ph.gif data-src=real.gif>",
         "<img src=L:http://h.example/dir/real.gif data-src=L:http://h.example/dir/real.gif>"},
        {"<img data-src=real.gif />", "<img data-src=L:http://h.example/dir/real.gif src=\"L:http://h.example/dir/real.gif\" />"},
        {"<div style=\"background:url(bg.png)\">", "<div style=\"background:url(L:http://h.example/dir/bg.png)\">"},
        {"<!-- <img src=c.gif> -->x", "<!-- <img src=c.gif> -->x"},
        {"<script>var s='<img src=j.gif>';</script>", "<script>var s='<img src=j.gif>';</script>"},
        {"<style>@import 'i.css'; p{background:url(\"p.png\")}</style>",
         "<style>@import 'L:http://h.example/dir/i.css'; p{background:url(\"L:http://h.example/dir/p.png\")}</style>"},
        {"a < b <!-- open", "a < b <!-- open"},
        {"<img src=\"unterminated", "<img src=\"unterminated"},
        {"<img src=keep.gif>", "<img src=http://h.example/dir/keep.gif>"},
    };
    for (const Case& c : cases) {
        Namer namer;
        EXPECT_EQ(R::rewritePage(c.in, base, "shift_jis", namer.fn()), c.out) << c.in;
    }
}

TEST(SnapshotRewriter, AsksForEachKindAndAddsACharsetWhereNoneIsDeclared)
{
    Namer namer;
    std::string out = R::rewritePage("<html><head><title>t</title><link rel=stylesheet href=s.css></head>"
                                     "<frameset><frame src=f.html></frameset><img src=i.png></html>",
                                     base, "utf-8", namer.fn());
    EXPECT_EQ(namer.asked["http://h.example/dir/s.css"], R::refStyleSheet);
    EXPECT_EQ(namer.asked["http://h.example/dir/f.html"], R::refPage);
    EXPECT_EQ(namer.asked["http://h.example/dir/i.png"], R::refResource);
    EXPECT_NE(out.find("<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"><title>"),
              std::string::npos)
        << out;
}

TEST(SnapshotRewriter, RewritesStyleSheets)
{
    Namer namer;
    std::string css = "/* url(c.png) */ @import url(\"a.css\"); @import \"b.css\";\n"
                      "body{background:URL( bg.png )} .x{background:url('#f')} .y{src:url(data:x)} \"url(s.png)\"";
    std::string out = R::rewriteStyleSheet(css, "http://h.example/css/main.css", namer.fn());
    EXPECT_EQ(out, "/* url(c.png) */ @import url(\"L:http://h.example/css/a.css\"); @import \"L:http://h.example/css/b.css\";\n"
                   "body{background:url(L:http://h.example/css/bg.png)} .x{background:url('#f')} .y{src:url(data:x)} "
                   "\"url(s.png)\"");
    EXPECT_EQ(namer.asked["http://h.example/css/a.css"], R::refStyleSheet);
    EXPECT_EQ(namer.asked["http://h.example/css/b.css"], R::refStyleSheet);
    EXPECT_EQ(namer.asked["http://h.example/css/bg.png"], R::refResource);
    EXPECT_EQ(namer.asked.count("http://h.example/css/c.png"), 0u);
}

TEST(SnapshotRewriter, CutAnywhereNeverCrashesOrLosesTheTail)
{
    Namer namer;
    std::string page = "<html><head><base href=\"http://b.example/\"><meta http-equiv=content-type content='text/html;"
                       "charset=euc-jp'><style>p{background:url(p.png)}</style></head><body background=b.gif>"
                       "<img src=\"a.gif\" srcset=\"x.gif 1x,y.gif 2x\" style='list-style:url(l.png)'><a href=x>"
                       "<!-- c --></body></html>";
    for (std::size_t cut = 0; cut <= page.size(); ++cut) {
        std::string out = R::rewritePage(page.substr(0, cut), base, "shift_jis", namer.fn());
        EXPECT_GE(out.size() + 40, cut / 2) << cut;
    }
}

} // namespace
