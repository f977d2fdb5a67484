#include "EngineHarness.h"
#include "TestFtpServer.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "Engine/Http/clsSendPacer.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using testsupport::EngineHarness;
using testsupport::TestFtpServer;

const char* const ftpPage =
    "<html><head><title>FTP page</title></head><body><a href=\"other.html\">o</a></body></html>";

} // namespace

// FTP addresses are fetched as HTTP ones are: a page is analysed, text and binary files load,
// a missing file fails with the server's reply, a refused port fails with -1 after the same
// retries as HTTP, and a file that never comes fails at the receive time-out. Addresses of
// schemes that nobody fetches end not checked (6) at once, without a transfer or a page.
TEST(ftpTransfers, FetchesFtpLikeHttpAndLeavesOtherSchemesUnchecked)
{
    testsupport::TempHome home;
    TestFtpServer ftp;
    ftp.setFile("/page.html", ftpPage);
    ftp.setFile("/pub/notes.txt", std::string(5000, 'n'));
    ftp.setFile("/pub/a.zip", std::string(3000, '\x01'));
    ftp.setFile("/never.html", "never sent", true);
    std::string refused =
        "ftp://127.0.0.1:" + std::to_string(testsupport::refusedPort()) + "/x.html";
    struct Case {
        std::string address;
        clsRequestStatus status;
        int result;
        const char* protocol; // null: not checked
        long long received;   // -1: not checked
        int attempts;
        const char* title; // null: not checked
    };
    const Case cases[] = {
        {ftp.url("/page.html"), clsRequestStatus::complete, 0, "ftp(text/html)",
         static_cast<long long>(std::string(ftpPage).size()), 1, "FTP page"},
        {ftp.url("/pub/notes.txt"), clsRequestStatus::complete, 0, "ftp(text/plain)", 5000, 1,
         nullptr},
        {ftp.url("/pub/a.zip"), clsRequestStatus::complete, 0, "ftp(\x95s\x96\xBE)", 0, 1, nullptr},
        {ftp.url("/missing.html"), clsRequestStatus::failed, 550, nullptr, -1, 1, nullptr},
        {refused, clsRequestStatus::failed, -1, nullptr, -1, 3, nullptr},
        {ftp.url("/never.html"), clsRequestStatus::failed, -1, nullptr, -1, 3, nullptr},
        {"mailto:someone@example.jp", clsRequestStatus::unchecked, 0, "mailto", 0, 0, nullptr},
        {"news:comp.lang.c", clsRequestStatus::unchecked, 0, "news", 0, 0, nullptr},
        {"javascript:void(0)", clsRequestStatus::unchecked, 0, nullptr, 0, 0, nullptr},
    };
    clsEngineOptions options = EngineHarness::quickOptions();
    options.nodeFactory = nullptr; // the analyzer: the page's title
    options.receiveTimeoutMs = 400;
    EngineHarness harness(options);
    std::map<int, std::string> titles;
    std::map<int, int> links;
    harness.onNotice = [&](int id, clsQuillaraItem* node, clsNodePhase phase) {
        if (phase == clsNodePhase::complete) {
            titles[id] = node->getTitle();
            links[id] = node->getLinkCount();
        }
    };
    std::vector<int> ids;
    for (const Case& c : cases)
        ids.push_back(harness.request(clsRequestMode::read, c.address)->getId());
    ASSERT_TRUE(harness.waitForEnd(ids)) << harness.unended();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        clsUrlInformation* info = harness.held[i];
        SCOPED_TRACE(c.address);
        EXPECT_EQ(info->getStatus(), c.status);
        EXPECT_EQ(info->getResultCode(), c.result);
        EXPECT_EQ(info->getAttempts(), c.attempts);
        EXPECT_EQ(harness.countNotices(ids[i], clsNodePhase::complete), 1);
        if (c.protocol != nullptr) {
            EXPECT_EQ(info->getProtocol(), c.protocol);
        }
        if (c.received >= 0) {
            EXPECT_EQ(info->getReceivedBytes(), c.received);
        }
        if (c.title != nullptr) {
            EXPECT_EQ(titles[ids[i]], c.title);
            EXPECT_EQ(links[ids[i]], 1);
        }
        if (c.status == clsRequestStatus::unchecked) {
            EXPECT_EQ(harness.countNotices(ids[i], clsNodePhase::started), 0)
                << "no page was announced";
        }
    }
    // Asking again for an address nobody fetches tells the caller at once, as for a page
    // that has loaded, and still fetches nothing.
    harness.ended.clear();
    clsUrlInformation* again = harness.request(clsRequestMode::read, "mailto:someone@example.jp");
    ASSERT_TRUE(harness.waitForEnd(again->getId()));
    EXPECT_EQ(again->getStatus(), clsRequestStatus::unchecked);
}

// FTP requests wait for their turn in the same pacing as HTTP ones.
TEST(ftpTransfers, PacesFtpRequestsWithTheOthers)
{
    testsupport::TempHome home;
    TestFtpServer ftp;
    testsupport::TestHttpServer http;
    for (int i = 0; i < 3; ++i)
        ftp.setFile("/f" + std::to_string(i) + ".txt", "text");
    clsEngineOptions options = EngineHarness::quickOptions();
    options.paceIntervalMs = 200;
    EngineHarness harness(options);
    harness.engine.getPacer().recordReleases(true);
    std::vector<int> ids;
    for (int i = 0; i < 3; ++i)
        ids.push_back(
            harness.request(clsRequestMode::read, ftp.url("/f" + std::to_string(i) + ".txt"))
                ->getId());
    ids.push_back(harness.request(clsRequestMode::read, http.url("/page"))->getId());
    ASSERT_TRUE(harness.waitForEnd(ids)) << harness.unended();
    for (clsUrlInformation* info : harness.held)
        EXPECT_EQ(info->getStatus(), clsRequestStatus::complete) << info->getAddress();
    std::vector<clsSendPacer::Release> releases = harness.engine.getPacer().getReleases();
    ASSERT_EQ(releases.size(), 4u);
    for (std::size_t i = 1; i < releases.size(); ++i)
        EXPECT_GE(releases[i].tick - releases[i - 1].tick, 200u) << "release " << i;
    EXPECT_EQ(ftp.retrieved().size(), 3u);
}
