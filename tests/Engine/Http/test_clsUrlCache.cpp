#include "Engine/Analysis/clsHtmlItem.h"
#include "Engine/Http/clsUrlCache.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Text/utlDisplayText.h"
#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace fs = std::filesystem;

// Entries are named by hash, hold the address, the Last-Modified time and the header, and a
// hash collision (another address under the same name) is never served.
TEST(clsUrlCache, StoresAndFindsExactlyTheAddress)
{
    testsupport::TempHome home;
    clsUrlCache cache(home.dir() + "Cache/", 1024 * 1024);
    const std::string address = "http://example.jp/../../etc/passwd?x=/..";
    ASSERT_TRUE(cache.store(address, "<html>body</html>", "HTTP/1.1 200 OK\r\n",
                            "Sun, 06 Dec 2026 10:00:00 GMT"));
    std::string body, header, lastModified;
    ASSERT_TRUE(cache.lookup(address, body, &header, &lastModified));
    EXPECT_EQ(fs::path(body).parent_path(), fs::path(home.dir() + "Cache"));
    EXPECT_EQ(fs::path(body).filename().string(), clsUrlCache::nameOf(address) + ".body");
    EXPECT_EQ(testsupport::readFile(body), "<html>body</html>");
    EXPECT_EQ(header, "HTTP/1.1 200 OK\r\n");
    EXPECT_EQ(lastModified, "Sun, 06 Dec 2026 10:00:00 GMT");
    EXPECT_FALSE(cache.lookup("http://example.jp/other", body));

    // Another address whose entry file was put under this name is not taken for it.
    testsupport::writeFile(home.dir() + "Cache/" + clsUrlCache::nameOf("http://b/") + ".meta",
                           "http://a/\n\n");
    testsupport::writeFile(home.dir() + "Cache/" + clsUrlCache::nameOf("http://b/") + ".body", "A");
    EXPECT_FALSE(cache.lookup("http://b/", body));
    EXPECT_FALSE(cache.store("http://x/\r\nevil", "x", "", ""));
}

// The directory stays within its limit: the oldest entries go first, and a page larger than
// the whole cache is refused.
TEST(clsUrlCache, StaysWithinItsLimit)
{
    testsupport::TempHome home;
    clsUrlCache cache(home.dir() + "Cache/", 10 * 1024);
    std::string page(3000, 'p');
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(cache.store("http://h/" + std::to_string(i), page, "", ""));
        std::this_thread::sleep_for(std::chrono::milliseconds(15)); // distinct modification times
    }
    std::uintmax_t total = 0;
    for (const auto& entry : fs::directory_iterator(home.dir() + "Cache/"))
        total += entry.file_size();
    EXPECT_LE(total, 10u * 1024);
    std::string body;
    EXPECT_FALSE(cache.lookup("http://h/0", body));
    EXPECT_TRUE(cache.lookup("http://h/5", body));
    EXPECT_FALSE(cache.store("http://h/big", std::string(11 * 1024, 'b'), "", ""));

    // Storing one address again replaces its entry and keeps the others.
    clsUrlCache again(home.dir() + "Again/", 10 * 1024);
    ASSERT_TRUE(again.store("http://h/keep", page, "", ""));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(again.store("http://h/same", page, "", ""));
    EXPECT_TRUE(again.lookup("http://h/keep", body));
    // What an earlier run left counts against the limit too.
    clsUrlCache later(home.dir() + "Again/", 7 * 1024);
    ASSERT_TRUE(later.store("http://h/new", page, "", ""));
    total = 0;
    for (const auto& entry : fs::directory_iterator(home.dir() + "Again/"))
        total += entry.file_size();
    EXPECT_LE(total, 7u * 1024);
    EXPECT_TRUE(later.lookup("http://h/new", body));
}

// The HTML view's text: title in brackets, line breaks, cells, no scripts or comments.
TEST(utlDisplayText, RendersPagesAsPlainText)
{
    struct Case {
        std::string html;
        std::string text;
    } cases[] = {
        {"<title>T</title>a  \r\n b", "[T]\r\na b"},
        {"<p>one<br>two</p><p>three", "one\r\ntwo\r\n\r\nthree"},
        {"<br><br><br><br>x", "x"},
        {"<tr><td>a</td><td>b</td></tr><tr><td></td><td>c</td>", "a\tb\t\r\nc\t"},
        {"a<!-- <br> -->b<script>x<y</script>c<STYLE>p{}</style>d", "abcd"},
        {"&lt;tag&gt; &amp;", "<tag> &"},
        {"<h1>H</h1>x<h7>y", "H\r\nxy"},
        {"\x82\xA0<b>\x82\xA2</b>", "\x82\xA0\x82\xA2"},
        {"<a href=x", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(renderDisplayText(c.html), c.text) << c.html;
}

// A dead local file ends failed (status 5, result -1), so that dead local links show; a
// readable one ends complete and renders through a converter of its own.
TEST(clsHtmlItem, LocalFilesEndLoadedOrFailed)
{
    testsupport::TempHome home;
    const std::string page = home.dir() + "page.html";
    testsupport::writeFile(page, "<title>\x93\xFA\x96{</title><p>text");
    struct Case {
        std::string address;
        clsRequestStatus status;
        int result;
    } cases[] = {{page, clsRequestStatus::complete, 0},
                 {home.dir() + "missing.html", clsRequestStatus::failed, resultTransportError},
                 {home.dir(), clsRequestStatus::failed, resultTransportError}};
    for (const Case& c : cases) {
        clsUrlInformation owner;
        owner.set(1, 0, c.address);
        clsHtmlItem item;
        item.setUrlInformation(&owner);
        bool needsNetwork = true;
        ASSERT_TRUE(item.read(needsNetwork, false));
        EXPECT_FALSE(needsNetwork);
        bool complete = false;
        item.analyze(complete);
        EXPECT_TRUE(complete);
        EXPECT_EQ(owner.getStatus(), c.status) << c.address;
        EXPECT_EQ(owner.getResultCode(), c.result) << c.address;
        std::string text;
        item.makeDisplayText(text);
        if (c.status == clsRequestStatus::complete) {
            EXPECT_EQ(item.getTitle(), "\x93\xFA\x96{");
            EXPECT_EQ(text, "[\x93\xFA\x96{]\r\n\r\ntext");
        }
        item.setUrlInformation(nullptr);
    }
}
