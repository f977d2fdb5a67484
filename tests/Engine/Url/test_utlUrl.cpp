#include "Engine/Url/utlUrl.h"
#include "Engine/Url/utlTypedAddress.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ResolveCase {
    int kind;
    const char* base;
    const char* relative;
    const char* expected;
};

std::string resolved(int kind, const std::string& base, const std::string& relative)
{
    std::string out = "stale";
    EXPECT_TRUE(resolveUrl(kind, base, relative, out));
    return out;
}

TEST(ResolveUrl, ResolvesLinksLikeTheBrowser)
{
    const ResolveCase cases[] = {
        {0, "http://h/a/b.html", "../c.html", "http://h/c.html"},
        {0, "http://h/a/b.html", "#x", "http://h/a/b.html#x"},
        {0, "http://h", "x.html", "http://h/x.html"},
        {3, "http://h/a/b.html", "", "http://h/a/b.html"},
        {0, "http://h/a/b/c.html", "./.././d/./e.html", "http://h/a/d/e.html"},
        {0, "http://h/a.html", "../../x.html", "http://h/x.html"},
        // Rooted and scheme-relative links keep the origin, or only the scheme.
        {0, "http://h:8080/a/b.html", "/x/../y.html", "http://h:8080/y.html"},
        {0, "https://h/a/b.html", "//cdn.example/x.js", "https://cdn.example/x.js"},
        // A link that names its own scheme is taken unchanged, dots and all.
        {0, "http://h/a/", "HTTP://other/a/../b", "HTTP://other/a/../b"},
        {0, "http://h/a/", "mailto:who@example.jp", "mailto:who@example.jp"},
        {0, "http://h/a/", "javascript:void(0)", "javascript:void(0)"},
        // Local files: absolute paths, file: addresses and network paths.
        {0, "/dir/page.htm", "img/a.gif", "/dir/img/a.gif"},
        {1, "/dir/sub/page.htm", "../img/a.gif", "/dir/img/a.gif"},
        {0, "/home/u/page.html", "/etc/x.html", "/etc/x.html"},
        {0, "file:///home/u/p.html", "img/a.gif", "file:///home/u/img/a.gif"},
        {0, "file:///home/u/p.html", "/x.html", "file:///x.html"},
        {0, "//srv/share/a/b.htm", "../c.htm", "//srv/share/c.htm"},
        // A '/' in the query or fragment of the base is no directory.
        {0, "http://h/cgi/s?u=/a/b", "x.html", "http://h/cgi/x.html"},
        {0, "http://h/a/b.html?q=1", "?q=2", "http://h/a/b.html?q=2"},
        {0, "http://h/a/b.html#top", "#x", "http://h/a/b.html#x"},
        {0, "http://h?q=/a", "x.html", "http://h/x.html"},
        // A trailing "/.." stays; a query is collapsed like a path.
        {0, "http://h/a/b.html", "c/..", "http://h/a/c/.."},
        {0, "http://h/a/b.html", "s?p=/x/../y", "http://h/a/s?p=/y"},
    };
    for (const ResolveCase& c : cases)
        EXPECT_EQ(resolved(c.kind, c.base, c.relative), c.expected)
            << c.base << " + " << c.relative;
}

// The path (behind the host) of every resolved relative link is free of "/./" and "/../",
// whatever the bytes; under the sanitizer this also shows that no cut input is over-read.
TEST(ResolveUrl, LeavesNoDotSegmentsForAnyCutOfTheInput)
{
    const std::string base = "http://h\x82\xA0/a/./b/../\x83\x5C/c.html?x=/../y#f";
    const std::string relative = "../.././d/\x89/e/..//./f\x82";
    for (size_t b = 0; b <= base.size(); ++b) {
        for (size_t r = 0; r <= relative.size(); ++r) {
            std::string out = resolved(0, base.substr(0, b), relative.substr(0, r));
            size_t scheme = out.find("://");
            size_t path = out.find('/', scheme == std::string::npos ? 0 : scheme + 3);
            if (path == std::string::npos)
                continue;
            std::string tail = out.substr(path);
            EXPECT_EQ(tail.find("/./"), std::string::npos) << out;
            EXPECT_EQ(tail.find("/../"), std::string::npos) << out;
        }
    }
}

TEST(SiteOfHost, KeepsOneLabelLeftOfTheKnownSuffix)
{
    const std::pair<const char*, const char*> cases[] = {
        {"www.example.co.jp", "example.co.jp"},
        {"a.b.example.com", "example.com"},
        {"www.example.de", "example.de"},
        {"a.b.gr.jp", "b.gr.jp"},
        {"co.jp", "co.jp"},
        {"localhost", "localhost"},
        {"", ""},
        {"www.example.uk", "www.example.uk"},
        // Labels are whole: "notcom" does not end in the label "com".
        {"x.notcom", "x.notcom"},
        // Compared case-sensitively.
        {"WWW.EXAMPLE.COM", "WWW.EXAMPLE.COM"},
    };
    for (const auto& [host, site] : cases)
        EXPECT_EQ(siteOfHost(host), site) << host;
}

} // namespace

TEST(AddressFromTyped, AddsTheSchemeToHostsAndRefusesWhatIsNoAddress)
{
    struct Case {
        const char* typed;
        const char* expected; // nullptr: refused
    } cases[] = {
        {"example.com/page", "http://example.com/page"},
        {"127.0.0.1:8765/a.html", "http://127.0.0.1:8765/a.html"},
        {"  www.example.co.jp  ", "http://www.example.co.jp"},
        {"localhost:8080", "http://localhost:8080"},
        {"HTTPS://Example.com/", "HTTPS://Example.com/"},
        {"http://intranet/", "http://intranet/"},
        {"ftp://ftp.example.org/pub/", "ftp://ftp.example.org/pub/"},
        {"/home/me/page.html", "/home/me/page.html"},
        {"file:///home/me/page.html", "file:///home/me/page.html"},
        {"hello world", nullptr},
        {"hello", nullptr},
        {"", nullptr},
        {"   ", nullptr},
        {"http://", nullptr},
        {"http:///path", nullptr},
        {"mailto:someone@example.com", nullptr},
        {"javascript:alert(1)", nullptr},
        {"gopher://example.com/", nullptr},
        {"example.com:port/x", nullptr},
        {".example.com", nullptr},
        {"example..com", nullptr},
        {"a.b/\x01", nullptr},
        {"tab\tbed.com", nullptr},
    };
    for (const Case& c : cases) {
        std::string address = "untouched";
        bool ok = addressFromTyped(c.typed, address);
        EXPECT_EQ(c.expected != nullptr, ok) << c.typed;
        if (c.expected != nullptr)
            EXPECT_EQ(c.expected, address) << c.typed;
        else
            EXPECT_EQ("untouched", address) << c.typed;
    }
}
