#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Core/clsLink.h"
#include "Engine/Url/utlUrlParts.h"
#include "Platform/platformText.h"
#include "Common/utlInstanceCounter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct ParseCase {
    const char* address;
    int addressKind;
    const char* protocol;
    const char* fileName;
    const char* extension;
    const char* host;
    int port;
    const char* urlPath;
    const char* extraInfo;
};

// Local, share and network addresses split as the Windows URL cracker splits them; the
// fragment never reaches the file name or extension.
TEST(clsUrlInformation, SplitsEveryKindOfAddress)
{
    testsupport::TempHome home;
    const ParseCase cases[] = {
        {"C:\\dir\\page.htm#top", addressLocalFile, "Local File", "page.htm", ".htm", "", 0, "",
         ""},
        {"\\\\server\\share\\a.html", addressRemoteFile, "Remote File", "a.html", ".html", "", 0,
         "", ""},
        {"/home/u/site/index.html#x", addressLocalFile, "Local File", "index.html", ".html", "", 0,
         "", ""},
        {"file:///C:/x.html", addressLocalFile, "Local File", "x.html", ".html", "", 0, "", ""},
        {"file:///tmp/a%20b.htm", addressLocalFile, "Local File", "a b.htm", ".htm", "", 0, "", ""},
        {"file://localhost/tmp/c.txt", addressLocalFile, "Local File", "c.txt", ".txt", "", 0, "",
         ""},
        {"http://www.example.com/dir/page.html?q=1#f", addressNetwork, "http", "page.html", ".html",
         "www.example.com", 80, "/dir/page.html", "?q=1#f"},
        {"https://u:p@h.example:8443/a", addressNetwork, "https", "a", "", "h.example", 8443, "/a",
         ""},
        {"http://h", addressNetwork, "http", "", "", "h", 80, "", ""},
        {"http://[::1]:81/x.cgi", addressNetwork, "http", "x.cgi", ".cgi", "[::1]", 81, "/x.cgi",
         ""},
        {"ftp://files.example/pub/a.zip", addressNetwork, "ftp", "a.zip", ".zip", "files.example",
         21, "/pub/a.zip", ""},
        {"mailto:someone@example.com", addressNetwork, "mailto", "", "", "", 0,
         "someone@example.com", ""},
        {"www.example.com/page.html", addressNotParsed, "", "", "", "", 0, "", ""},
        {"http://h:99999/", addressNotParsed, "", "", "", "", 0, "", ""},
        {"http://bad host/", addressNotParsed, "", "", "", "", 0, "", ""},
        // A ':' left in the host: libcurl would send these to z.
        {"http://z::/", addressNotParsed, "", "", "", "", 0, "", ""},
        {"http://z:8080:/", addressNotParsed, "", "", "", "", 0, "", ""},
        {"http://[::1]::81/", addressNotParsed, "", "", "", "", 0, "", ""},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.address);
        clsUrlInformation info;
        ASSERT_TRUE(info.set(7, 0, c.address));
        EXPECT_EQ(info.getAddressKind(), c.addressKind);
        EXPECT_EQ(info.getProtocol(), c.protocol);
        EXPECT_EQ(info.getFileName(), c.fileName);
        EXPECT_EQ(info.getExtension(), c.extension);
        EXPECT_EQ(info.getHost(), c.host);
        EXPECT_EQ(info.getPort(), c.port);
        EXPECT_EQ(info.getUrlPath(), c.urlPath);
        EXPECT_EQ(info.getExtraInfo(), c.extraInfo);
        EXPECT_EQ(info.getId(), 7);
    }
    // A Japanese host name is a host; a Shift_JIS character whose second byte is '@' (院 is
    // 0x89 0x40) is part of it, no end of a user name that would leave the host "evil.com".
    // A user name in Japanese still ends at its '@'; a stray byte that makes no character
    // is no host.
    clsUrlInformation info;
    ASSERT_TRUE(info.set(8, 0, platform::utf8ToSjis("http://院evil.com/")));
    EXPECT_EQ(info.getAddressKind(), addressNetwork);
    EXPECT_EQ(info.getHost(), platform::utf8ToSjis("院evil.com"));
    ASSERT_TRUE(info.set(10, 0, "http://h\x89/"));
    EXPECT_EQ(info.getAddressKind(), addressNotParsed);
    ASSERT_TRUE(info.set(9, 0, platform::utf8ToSjis("http://ユーザ院:院@h.example/a")));
    EXPECT_EQ(info.getHost(), "h.example");
    EXPECT_EQ(info.getUserName(), platform::utf8ToSjis("ユーザ院"));
    EXPECT_EQ(info.getPassword(), platform::utf8ToSjis("院"));
}

// Trailing blanks are cut, but a lead byte always takes the next byte with it, so the
// second byte of a double-byte character is never cut as a blank.
TEST(clsUrlInformation, CutsTrailingBlanksButNotDoubleByteCharacters)
{
    const std::pair<std::string, std::string> cases[] = {
        {"http://h/a \t  ", "http://h/a"},
        {"http://h/\x81\x40", "http://h/\x81\x40"},
        {"http://h/\x83\x20 ", "http://h/\x83\x20"},
        {"   ", ""},
    };
    for (const auto& [input, expected] : cases) {
        clsUrlInformation info;
        info.set(1, 0, input);
        EXPECT_EQ(info.getAddress(), expected);
    }
}

// The status line, Content-Length, Content-Type (any case) and Last-Modified are taken from
// the raw header; the scheme stays apart from the protocol text, so an https address is
// still sent over https after its first response.
TEST(clsUrlInformation, TakesResponseHeaderAndKeepsTheScheme)
{
    testsupport::TempHome home;
    clsUrlInformation info;
    info.set(1, 0, "https://h.example/p.html");
    info.setHeaders("HTTP/1.1 200 OK\r\ncontent-type: text/plain\r\nContent-Length: 12\r\n"
                    "Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT\r\n\r\n");
    EXPECT_EQ(info.getStatusCode(), "200 OK");
    EXPECT_EQ(info.getProtocol(), "http(text/plain)");
    EXPECT_EQ(info.getScheme(), "https");
    EXPECT_EQ(info.getContentLength(), 12);
    EXPECT_EQ(info.getLastModified().wYear, 1994);
    EXPECT_FALSE(info.getLastModifiedText().empty());

    info.setHeaders("HTTP/1.1 404 Not Found\r\n\r\n");
    EXPECT_EQ(info.getStatusCode(), "404 Not Found");
    EXPECT_EQ(info.getProtocol(), "http(\x95s\x96\xBE)"); // http(不明)
    EXPECT_EQ(info.getContentLength(), -1);
    EXPECT_EQ(info.getLastModified().wYear, 0);

    std::string value = "unchanged";
    EXPECT_FALSE(info.getHeader("Location:", value));
    EXPECT_EQ(value, "unchanged");
}

// Header lookup stops at the blank line, skips leading blanks of the value, takes LF-only
// lines, and never reads past the text, whatever bytes the server sent.
TEST(clsUrlInformation, FindsHeadersInArbitraryBytes)
{
    clsUrlInformation info;
    info.setHeaders("HTTP/1.1 302 Found\nLocation:   /next\n\nX-After: no\r\n");
    std::string value;
    ASSERT_TRUE(info.getHeader("location:", value));
    EXPECT_EQ(value, "/next");
    EXPECT_FALSE(info.getHeader("X-After:", value));

    std::string junk = "HTTP/1.1 200\r\nContent-Type:";
    junk += std::string("\0\xff\x81", 3);
    info.setHeaders(junk);
    EXPECT_TRUE(info.getHeader("Content-Type:", value));
    EXPECT_EQ(value.size(), 3u);
    info.setHeaders(std::string(5000, 'A') + "\r\nContent-Type: " + std::string(5000, 'b'));
    EXPECT_TRUE(info.getHeader("Content-Type:", value));
    EXPECT_EQ(value.size(), 1023u);
}

// The request line never carries the fragment, and bytes a server would refuse are escaped.
TEST(utlUrlParts, BuildsRequestUrlWithoutFragment)
{
    const std::pair<const char*, const char*> cases[] = {
        {"http://h/a?b=1#frag", "http://h/a?b=1"},
        {"http://h#only", "http://h/"},
        {"https://h:443/x", "https://h/x"},
        {"http://h:8080/a b", "http://h:8080/a%20b"},
        {"http://u:pw@h/\x82\xA0", "http://u:pw@h/%82%A0"},
    };
    for (const auto& [address, expected] : cases) {
        utlUrlParts parts;
        ASSERT_TRUE(crackUrl(address, parts)) << address;
        EXPECT_EQ(makeRequestUrl(parts), expected);
    }
    // A Japanese host name goes in its ASCII form; the path keeps its Shift_JIS bytes.
    utlUrlParts parts;
    ASSERT_TRUE(crackUrl(platform::utf8ToSjis("http://日本語.jp/日"), parts));
    EXPECT_EQ(makeRequestUrl(parts), "http://xn--wgv71a119e.jp/%93%FA");
    // Typed in the window or on the command line, the name comes escaped in UTF-8.
    ASSERT_TRUE(crackUrl("http://%E6%97%A5%E6%9C%AC%E8%AA%9E.jp/", parts));
    EXPECT_EQ(makeRequestUrl(parts), "http://xn--wgv71a119e.jp/");
    // An escaped '/', '#' or '@' beside Japanese stays escaped: never part of the address.
    for (const char* host : {"%2Fevil.com%2F%E6%97%A5", "%E6%97%A5%23x.jp", "a%40%E6%97%A5.jp"}) {
        ASSERT_TRUE(crackUrl(std::string("http://") + host + "/", parts)) << host;
        EXPECT_EQ(makeRequestUrl(parts), std::string("http://") + host + "/");
    }
    // Full-width punctuation is never dropped from the name (？x.jp is not x.jp); full-width
    // letters are the ASCII ones.
    ASSERT_TRUE(crackUrl("http://%EF%BC%9Fx.jp/", parts));
    EXPECT_EQ(makeRequestUrl(parts), "http://%EF%BC%9Fx.jp/");
    ASSERT_TRUE(crackUrl(platform::utf8ToSjis("http://／x.jp/"), parts));
    EXPECT_EQ(makeRequestUrl(parts), "http://%81^x.jp/");
    ASSERT_TRUE(crackUrl(platform::utf8ToSjis("http://ｅｘａｍｐｌｅ.jp/"), parts));
    EXPECT_EQ(makeRequestUrl(parts), "http://example.jp/");
    // What splits an authority, inside a password: escaped, so that libcurl finds the host
    // after the last '@' as the address does (it took [::] here).
    ASSERT_TRUE(crackUrl("https://u:p@[::p@[::1]:99/x", parts));
    EXPECT_EQ(makeRequestUrl(parts), "https://u:p%40%5B::p@[::1]:99/x");
    // No server, no request: libcurl would send this one to evil.com.
    ASSERT_TRUE(crackUrl("http:///evil.com/x", parts));
    EXPECT_EQ(makeRequestUrl(parts), "");
}

// The request address as it was built byte by byte before runs were appended whole: the
// reference for the test below.
std::string requestUrlByBytes(const utlUrlParts& parts)
{
    auto escape = [](std::string& url, const std::string& text, const char* also = "") {
        static const char hex[] = "0123456789ABCDEF";
        for (char c : text) {
            auto byte = static_cast<unsigned char>(c);
            if (byte > 0x20 && byte < 0x7F && std::strchr(also, c) == nullptr) {
                url += c;
                continue;
            }
            url += '%';
            url += hex[byte >> 4];
            url += hex[byte & 0x0F];
        }
    };
    if (parts.host.empty())
        return {};
    std::string url = parts.scheme + "://";
    if (!parts.userName.empty() || !parts.password.empty()) {
        escape(url, parts.userName, "@/?#[]");
        if (!parts.password.empty()) {
            url += ":";
            escape(url, parts.password, "@/?#[]");
        }
        url += "@";
    }
    escape(url, requestHost(parts.host));
    if (parts.port != 0 && parts.port != defaultPortOf(parts.scheme))
        url += ":" + std::to_string(parts.port);
    std::string target = parts.urlPath.empty() ? "/" : parts.urlPath;
    target += parts.extraInfo.substr(0, parts.extraInfo.find('#'));
    escape(url, target);
    return url;
}

// Random parts, with blanks, '#', '%', control and 8-bit bytes, empty fields and every kind
// of port: the same request address as byte by byte.
TEST(utlUrlParts, RequestUrlUnchangedOnRandomParts)
{
    std::mt19937 random(20261207);
    const std::string alphabet = std::string("abcXYZ019/?&=#%:@.-_~ ") + '\t' + '\x7F' + '\x82' +
                                 '\xA0' + '\xFF' + std::string(1, '\0');
    auto text = [&](int longest) {
        std::string out(random() % (longest + 1), ' ');
        for (char& c : out)
            c = alphabet[random() % alphabet.size()];
        return out;
    };
    const char* schemes[] = {"http", "https", "ftp", ""};
    const int ports[] = {0, 80, 443, 21, 8080, 65535};
    for (int i = 0; i < 5000; ++i) {
        utlUrlParts parts;
        parts.scheme = schemes[random() % 4];
        parts.userName = random() % 4 == 0 ? text(6) : "";
        parts.password = random() % 4 == 0 ? text(6) : "";
        parts.host = text(12);
        parts.port = ports[random() % 6];
        parts.urlPath = text(30);
        parts.extraInfo = text(30);
        ASSERT_EQ(makeRequestUrl(parts), requestUrlByBytes(parts)) << i;
    }
}

// A link record reads its address with views instead of a clsUrlInformation: on addresses of
// every form (paths, shares, file: addresses with escapes, network addresses with users,
// ports and brackets, bad ports and hosts, trailing blanks, double-byte bytes) it must keep
// what the record would parse.
TEST(clsLink, KeepsTheAddressPartsAsTheRecordParsesThem)
{
    std::mt19937 random(20261208);
    const char* const heads[] = {
        "http://",     "HTTPS://",    "ftp://",      "file:///", "File://localhost/",
        "file:/",      "file://srv/", "file:///C:/", "FILE:",    "//",
        "\\\\",        "C:",          "c:\\",        "/",        "mailto:",
        "javascript:", "x-y.z+1:",    "1http://",    "",         "http:"};
    const std::string alphabet = std::string("abAB09./\\#?%:@[]-_ ") + '\t' + '\x81' + '\x40' +
                                 '\xE0' + '\xFF' + std::string(1, '\0');
    const char* const pieces[] = {"%41",      "%2",        "%",      ".html", ".Tar.gz",
                                  "u:p@",     ":8080",     ":99999", ":x",    "[::1]",
                                  "[::1]:81", "localhost", "#a.b",   "?q=c.d"};
    for (int i = 0; i < 20000; ++i) {
        std::string address = heads[random() % std::size(heads)];
        for (int n = static_cast<int>(random() % 12); n > 0; --n) {
            if (random() % 3 == 0)
                address += pieces[random() % std::size(pieces)];
            else
                address += alphabet[random() % alphabet.size()];
        }
        if (random() % 4 == 0)
            address += random() % 2 ? " \t " : "\x82 ";
        std::string name = i % 3 == 0 ? "" : "name" + std::to_string(i);
        std::string href = "h" + address;
        clsUrlInformation info;
        info.set(0, i % 19, address);
        clsLink link(i % 19, address, name, i % 2 ? &href : nullptr);
        SCOPED_TRACE(testing::PrintToString(address));
        ASSERT_EQ(link.getLinkKind(), info.getLinkKind());
        ASSERT_EQ(link.getAddressKind(), info.getAddressKind());
        ASSERT_EQ(link.getAddress(), info.getAddress());
        ASSERT_EQ(link.getFileName(), info.getFileName());
        ASSERT_EQ(link.getExtension(), info.getExtension());
        ASSERT_EQ(link.getHost(), info.getHost());
        ASSERT_EQ(link.getName(), name);
        ASSERT_EQ(link.getHref(), i % 2 ? href : "");
    }
}

// Records move as their list grows; the instance counter must come back to where it was, so
// that a leak shows and moves do not.
TEST(clsLink, CountsEachRecordOnceThroughMoves)
{
    auto live = [] {
        for (const InstanceCount& count : instanceCounts())
            if (count.name == "clsLink")
                return count.live;
        return 0;
    };
    int before = live();
    {
        std::vector<clsLink> links;
        for (int i = 0; i < 100; ++i)
            links.emplace_back(0, "http://h/" + std::to_string(i) + ".png", "n", nullptr);
        EXPECT_EQ(live(), before + 100);
        clsLink moved(std::move(links.back()));
        links.pop_back();
        links.front() = std::move(moved);
        EXPECT_EQ(links.front().getFileName(), "99.png");
    }
    EXPECT_EQ(live(), before);
}

} // namespace
