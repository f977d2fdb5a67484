// The page and style sheet rewriter of snapshots, case by case.
#include "Engine/Snapshot/clsSnapshotRewriter.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using R = clsSnapshotRewriter;

// Names every fetched address "L:" + its address, and remembers the kinds it was asked for;
// an address with "keep" in it is not saved.
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

std::string policyMeta(R::ScriptPolicy scripts)
{
    return "<meta http-equiv=\"Content-Security-Policy\" content=\"" +
           R::contentSecurityPolicy(scripts) +
           "\"><meta http-equiv=\"x-dns-prefetch-control\" content=\"off\">";
}

// The page as rewritten, without the policy the rewriter puts in front of it.
std::string rewritten(const std::string& page, R::ScriptPolicy scripts = R::scriptsRemoved)
{
    Namer namer;
    std::string out = R::rewritePage(page, base, "shift_jis", namer.fn(), scripts);
    std::size_t at = out.find(policyMeta(scripts));
    EXPECT_NE(at, std::string::npos) << page;
    if (at != std::string::npos)
        out.erase(at, policyMeta(scripts).size());
    return out;
}

struct Case {
    const char* in;
    const char* out;
};

TEST(SnapshotRewriter, RewritesEachRuleOfThePage)
{
    const std::vector<Case> cases = {
        // Whole tag names: BASEFONT is no BASE, ABBR no A.
        {"<basefont href=x><abbr href=y>", "<basefont href=x><abbr href=y>"},
        {"<base href=\"http://o.example/b/\"><img src=i.gif>",
         "<img src=L:http://o.example/b/i.gif>"},
        {"<base target=_top><img src=i.gif>",
         "<base target=_top><img src=L:http://h.example/dir/i.gif>"},
        {"<a href='../x.html#t'>", "<a href='http://h.example/x.html#t'>"},
        {"<a href=\"#top\">", "<a href=\"#top\">"},
        {"<A HREF=\"q.cgi?a=1&amp;b=2\">", "<A HREF=\"http://h.example/dir/q.cgi?a=1&amp;b=2\">"},
        {"<form action=f.cgi><button formaction=g.cgi>",
         "<form action=http://h.example/dir/f.cgi><button formaction=http://h.example/dir/g.cgi>"},
        {"<frame src=f.html><iframe src=\"g.htm#x\">",
         "<frame src=L:http://h.example/dir/f.html><iframe "
         "src=\"L:http://h.example/dir/g.htm#x\">"},
        {"<link href=\"s.css\" rel=\"stylesheet\">",
         "<link href=\"L:http://h.example/dir/s.css\" rel=\"stylesheet\">"},
        {"<link rel=\"shortcut icon\" href=/f.ico>",
         "<link rel=\"shortcut icon\" href=L:http://h.example/f.ico>"},
        {"<link rel=canonical href=/c>",
         "<link rel=canonical data-quillara-href=http://h.example/c>"},
        {"<body background=bg.png>", "<body background=L:http://h.example/dir/bg.png>"},
        {"<meta content=\"text/html; charset=euc-jp\" http-equiv=Content-Type>",
         "<meta content=\"text/html; charset=shift_jis\" http-equiv=Content-Type>"},
        {"<meta charset=\"utf-8\">", "<meta charset=\"shift_jis\">"},
        {"<img src=\"data:image/gif;base64,AAAA\">", "<img src=\"data:image/gif;base64,AAAA\">"},
        {"<img src=a.gif srcset=\"b.gif 2x, c.gif 3x\">",
         "<img src=L:http://h.example/dir/a.gif srcset=\"L:http://h.example/dir/b.gif 2x, "
         "L:http://h.example/dir/c.gif 3x\">"},
        {"<img src=ph.gif data-src=real.gif>",
         "<img src=L:http://h.example/dir/real.gif data-src=L:http://h.example/dir/real.gif>"},
        {"<img data-src=real.gif />", "<img data-src=L:http://h.example/dir/real.gif "
                                      "src=\"L:http://h.example/dir/real.gif\" />"},
        {"<div style=\"background:url(bg.png)\">",
         "<div style=\"background:url(L:http://h.example/dir/bg.png)\">"},
        {"<!-- <img src=c.gif> -->x", "<!-- <img src=c.gif> -->x"},
        {"<title><img src=t.gif></title>", "<title><img src=t.gif></title>"},
        {"<style>@import 'i.css'; p{background:url(\"p.png\")}</style>",
         "<style>@import 'L:http://h.example/dir/i.css'; "
         "p{background:url(\"L:http://h.example/dir/p.png\")}</style>"},
        {"a < b <!-- open", "a < b <!-- open"},
        {"<img src=\"unterminated", "<img src=\"unterminated"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rewritten(c.in), c.out) << c.in;
}

// Nothing a browser loads by itself may keep a web address, also where the markup is written
// to slip past a simple scanner; the removed address stays for the reader.
TEST(SnapshotRewriter, RemovesScriptsAndEveryReferenceThatIsNotSaved)
{
    const std::vector<Case> cases = {
        {"<script src=a.js></script>x<SCRIPT>new Image().src='i.gif'</SCRIPT >y", "xy"},
        {"<script>a='</scripts>'; b=1</script>z", "z"},
        {"<body onload=\"f()\" class=c><svg/onload=g()>", "<body  class=c><svg/>"},
        {"<a href=\" java&#9;script:alert(1)\">j</a><iframe src=javascript:x>",
         "<a >j</a><iframe >"},
        {"<img src=keep.gif>", "<img data-quillara-src=http://h.example/dir/keep.gif>"},
        {"<link rel=preload href=p.css as=style><link rel=dns-prefetch href=//t.example>",
         "<link rel=preload data-quillara-href=http://h.example/dir/p.css as=style>"
         "<link rel=dns-prefetch data-quillara-href=http://t.example>"},
        {"<meta http-equiv=Refresh content=\"0;url=http://o.example/\">",
         "<meta http-equiv=Refresh data-quillara-content=\"0;url=http://o.example/\">"},
        {"<video src=v.webm poster=keep.jpg><track src=t.vtt><source src=keep.mp4></video>",
         "<video src=L:http://h.example/dir/v.webm "
         "data-quillara-poster=http://h.example/dir/keep.jpg>"
         "<track src=L:http://h.example/dir/t.vtt><source "
         "data-quillara-src=http://h.example/dir/keep.mp4></video>"},
        {"<object data=o.swf codebase=/c/></object><embed src=e.swf>",
         "<object data-quillara-data=http://h.example/dir/o.swf "
         "data-quillara-codebase=http://h.example/c/></object>"
         "<embed data-quillara-src=http://h.example/dir/e.swf>"},
        {"<iframe src=\"data:text/html,<img src=x>\" srcdoc=\"<img src=y>\">",
         "<iframe data-quillara-src=\"data:text/html,<img src=x>\" data-quillara-srcdoc=\"<img "
         "src=y>\">"},
        {"<input type=text src=i.png><input type=image src=keep.png>",
         "<input type=text src=L:http://h.example/dir/i.png><input type=image "
         "data-quillara-src=http://h.example/dir/keep.png>"},
        // A '/' ends an attribute name; "<!-->" and "--!>" end comments; "</stylex" ends no style.
        {"<img alt/src=keep.gif>", "<img alt/data-quillara-src=http://h.example/dir/keep.gif>"},
        {"<!--><img src=keep.gif>", "<!--><img data-quillara-src=http://h.example/dir/keep.gif>"},
        {"<!-- a --!><img src=keep.gif>",
         "<!-- a --!><img data-quillara-src=http://h.example/dir/keep.gif>"},
        {"<style></stylex>p{background:url(keep.png)}</style>",
         "<style></stylex>p{background:url(data:,)}</style>"},
        {"<img data-srcset=\"keep.png 1x, b.png 2x\">",
         "<img data-quillara-data-srcset=\"http://h.example/dir/keep.png 1x, "
         "http://h.example/dir/b.png 2x\" "
         "srcset=\"L:http://h.example/dir/b.png 2x\">"},
        {"<img data-src=keep.png src=ph.gif>",
         "<img data-quillara-data-src=http://h.example/dir/keep.png "
         "src=L:http://h.example/dir/ph.gif>"},
        {"<a href=x ping=http://t.example/p>",
         "<a href=http://h.example/dir/x data-quillara-ping=http://t.example/p>"},
        {"<img src=i.png attributionsrc=\"http://t.example/r\">",
         "<img src=L:http://h.example/dir/i.png "
         "data-quillara-attributionsrc=\"http://t.example/r\">"},
        {"<img src=a.png srcset=\"b.png 1x, keep.png 2x\">",
         "<img src=L:http://h.example/dir/a.png srcset=\"L:http://h.example/dir/b.png 1x\" "
         "data-quillara-srcset=\"http://h.example/dir/b.png 1x, http://h.example/dir/keep.png "
         "2x\">"},
        // A value that needs quotes gets them, so that it cannot turn into an attribute.
        {"<a href=x&#32;onclick=y>", "<a href=\"http://h.example/dir/x onclick=y\">"},
        {"<svg><image href=keep.png /><use xlink:href=\"#a\"/><rect "
         "fill=\"url(keep.svg#g)\"/></svg>",
         "<svg><image data-quillara-href=http://h.example/dir/keep.png /><use "
         "xlink:href=\"#a\"/><rect fill=\"url(data:,)\"/></svg>"},
        {"<html manifest=keep.appcache>",
         "<html data-quillara-manifest=http://h.example/dir/keep.appcache>"},
        // Inside <svg> a style's text is markup, and still a style sheet.
        {"<svg><style><img src=keep.png>p{fill:url(keep.svg)}</style></svg><title><img "
         "src=t.png></title>",
         "<svg><style><img "
         "data-quillara-src=http://h.example/dir/keep.png>p{fill:url(data:,)}</style></svg>"
         "<title><img src=t.png></title>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rewritten(c.in), c.out) << c.in;
}

TEST(SnapshotRewriter, KeepsScriptsWhenAskedAndSavesTheirFiles)
{
    const std::vector<Case> cases = {
        {"<script src=a.js></script>", "<script src=L:http://h.example/dir/a.js></script>"},
        {"<script src=keep.js></script>",
         "<script data-quillara-src=http://h.example/dir/keep.js></script>"},
        {"<script>a('<img src=x>')</script><body onload=f()>",
         "<script>a('<img src=x>')</script><body onload=f()>"},
        {"<a href=\"javascript:go()\">", "<a href=\"javascript:go()\">"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rewritten(c.in, R::scriptsKept), c.out) << c.in;
    EXPECT_NE(R::contentSecurityPolicy(R::scriptsKept).find("script-src 'self' 'unsafe-inline'"),
              std::string::npos);
    EXPECT_NE(R::contentSecurityPolicy(R::scriptsRemoved)
                  .find("default-src 'self' data:; script-src 'none'"),
              std::string::npos);
}

// The policy must come before anything that loads: behind <head>, else before the first tag
// or text, and never before the doctype (which would change how the page is laid out).
TEST(SnapshotRewriter, PutsThePolicyBeforeAnythingThatLoads)
{
    const std::vector<Case> cases = {
        {"<!DOCTYPE html><html lang=ja><head><meta charset=utf-8><title>t</title>",
         "<!DOCTYPE html><html lang=ja><head>"},
        {"<!DOCTYPE html>\n<!-- c -->\n<p>x", "<!DOCTYPE html>\n<!-- c -->\n"},
        {"\xEF\xBB\xBFhello", "\xEF\xBB\xBF"},
        {"<html><body><link rel=stylesheet href=keep.css>", "<html>"},
        {"", ""},
    };
    for (const Case& c : cases) {
        Namer namer;
        std::string out = R::rewritePage(c.in, base, "utf-8", namer.fn());
        EXPECT_EQ(out.find(policyMeta(R::scriptsRemoved)), std::string(c.out).size()) << c.in;
    }
}

TEST(SnapshotRewriter, AsksForEachKindAndAddsACharsetWhereNoneIsDeclared)
{
    Namer namer;
    std::string out =
        R::rewritePage("<html><head><title>t</title><link rel=stylesheet href=s.css></head>"
                       "<frameset><frame src=f.html></frameset><img src=i.png></html>",
                       base, "utf-8", namer.fn());
    EXPECT_EQ(namer.asked["http://h.example/dir/s.css"], R::refStyleSheet);
    EXPECT_EQ(namer.asked["http://h.example/dir/f.html"], R::refPage);
    EXPECT_EQ(namer.asked["http://h.example/dir/i.png"], R::refResource);
    EXPECT_NE(
        out.find("<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">" +
                 policyMeta(R::scriptsRemoved) + "<title>"),
        std::string::npos)
        << out;
}

TEST(SnapshotRewriter, RewritesStyleSheetsSoThatNothingLoadsFromTheNetwork)
{
    struct SheetCase {
        const char* in;
        const char* out;
        bool shiftJis;
    };
    const std::vector<SheetCase> cases = {
        {"/* url(c.png) */ @import url(\"a.css\"); @import \"b.css\";\n",
         "/* url(c.png) */ @import url(\"L:http://h.example/css/a.css\"); @import "
         "\"L:http://h.example/css/b.css\";\n",
         false},
        {"body{background:URL( bg.png )} .x{background:url('#f')} .y{src:url(data:x)} "
         "\"url(s.png)\"",
         "body{background:URL(L:http://h.example/css/bg.png)} .x{background:url('#f')} "
         ".y{src:url(data:x)} \"url(s.png)\"",
         false},
        {"@import 'keep.css'; p{background:url(\"keep.png\")}",
         "@import 'data:,'; p{background:url(\"data:,\")}", false},
        // Escapes, a url( cut off by the end of the sheet, image-set() strings: all load in a browser.
        {"p{background:\\75 rl(keep.png)}", "p{background:\\75 rl(data:,)}", false},
        {"p{background:url(keep\\).png)}", "p{background:url(data:,)}", false},
        {"p{background:url(keep.png", "p{background:url(data:,)", false},
        {"p{background:image-set(\"keep.png\" 1x, 'a.png' 2x)}",
         "p{background:image-set(\"data:,\" 1x, 'L:http://h.example/css/a.png' 2x)}", false},
        // Not references: a namespace, a dimension, a hash, a string elsewhere.
        {"@namespace svg url(http://www.w3.org/2000/svg); p{width:5url(x)} #url(y) "
         "p{content:'keep.png'}",
         "@namespace svg url(http://www.w3.org/2000/svg); p{width:5url(x)} #url(y) "
         "p{content:'keep.png'}",
         false},
        // "ソ" ends in 0x5C: in Shift_JIS it does not escape the quote behind it.
        {"p{content:\"\x83\x5C\"} q{background:url(keep.png)}",
         "p{content:\"\x83\x5C\"} q{background:url(data:,)}", true},
        {"@charset \"Shift_JIS\"; p{content:\"\x83\x5C\"} q{background:url(keep.png)}",
         "@charset \"Shift_JIS\"; p{content:\"\x83\x5C\"} q{background:url(data:,)}", false},
    };
    for (const SheetCase& c : cases) {
        Namer namer;
        EXPECT_EQ(
            R::rewriteStyleSheet(c.in, "http://h.example/css/main.css", namer.fn(), c.shiftJis),
            c.out)
            << c.in;
    }
    Namer namer;
    R::rewriteStyleSheet("@import url(a.css); p{background:url(b.png)}",
                         "http://h.example/css/main.css", namer.fn());
    EXPECT_EQ(namer.asked["http://h.example/css/a.css"], R::refStyleSheet);
    EXPECT_EQ(namer.asked["http://h.example/css/b.png"], R::refResource);
}

TEST(SnapshotRewriter, CutAnywhereNeverCrashesOrLosesTheTail)
{
    Namer namer;
    std::string page =
        "<html><head><base href=\"http://b.example/\"><meta http-equiv=content-type "
        "content='text/html;"
        "charset=euc-jp'><style>p{background:url(p.png)}</style></head><body background=b.gif>"
        "<img src=\"a.gif\" srcset=\"x.gif 1x,y.gif 2x\" style='list-style:url(l.png)'><a href=x>"
        "<script>s()</script><!-- c --></body></html>";
    for (std::size_t cut = 0; cut <= page.size(); ++cut) {
        std::string out = R::rewritePage(page.substr(0, cut), base, "shift_jis", namer.fn());
        EXPECT_GE(out.size() + 40, cut / 2) << cut;
        EXPECT_EQ(out.find("<script>"), std::string::npos) << cut;
    }
}

} // namespace
