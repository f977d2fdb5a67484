#include "EngineHarness.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using testsupport::EngineHarness;
using testsupport::TestHttpServer;

// What one request id was told, in order, and whether the order ever broke.
struct Delivery {
    clsQuillaraItem* node;
    clsNodePhase phase;
    clsRequestStatus status;
};

// Checks each notification as it is delivered: per node the phases go 1, 2..., 3 (1 and 2
// may be missing; only a 3 may follow a 3), an id never goes back to an older read, and
// a final notification always brings an ended request (4 loaded, 5 failed, 6 not checked),
// never a node that a newer read has replaced.
class OrderChecker {
public:
    void deliver(int id, clsQuillaraItem* node, clsNodePhase phase)
    {
        // Held to the end, so that no node address is used twice while the test runs.
        node->addRef();
        kept.push_back(node);
        std::vector<Delivery>& seen = byId[id];
        clsRequestStatus status = node->getStatus();
        std::string where = "id " + std::to_string(id) + " delivery " + std::to_string(seen.size());
        if (!seen.empty() && node->getReadNumber() < seen.back().node->getReadNumber())
            fail(where + ": back to an older read");
        bool sameNode = !seen.empty() && seen.back().node == node;
        if (sameNode && seen.back().phase == clsNodePhase::complete &&
            phase != clsNodePhase::complete)
            fail(where + ": phase " + std::to_string(static_cast<int>(phase)) +
                 " after the final one");
        if (sameNode && phase == clsNodePhase::started)
            fail(where + ": created twice or after reading");
        if (phase == clsNodePhase::complete && status != clsRequestStatus::complete &&
            status != clsRequestStatus::failed && status != clsRequestStatus::unchecked)
            fail(where + ": final notification with status " +
                 std::to_string(static_cast<int>(status)));
        seen.push_back(Delivery{node, phase, status});
        ++count;
    }

    void releaseAll()
    {
        for (clsQuillaraItem* node : kept)
            node->release();
        kept.clear();
    }

    void fail(const std::string& what)
    {
        if (faults.size() < 20)
            faults.push_back(what);
        ++faultCount;
    }

    std::map<int, std::vector<Delivery>> byId;
    std::vector<clsQuillaraItem*> kept;
    std::vector<std::string> faults;
    int faultCount = 0;
    int count = 0;
};

} // namespace

// Pages that load whole, in blocks, fail before any data, or fail half-way, reloaded again and
// again as soon as each has ended (or is about to end), with a cancel now and then: every id's
// delivered notifications keep their order, none comes from a node a reload replaced, and
// each id ends with a final notification of the node it has now.
TEST(clsNotificationOrder, ReloadsAndFailuresKeepEveryRequestsSequence)
{
    testsupport::TempHome home;
    TestHttpServer server;
    OrderChecker checker;
    {
        clsEngineOptions options = EngineHarness::quickOptions();
        options.retryCount = 0;
        options.nodeFactory = nullptr; // the real analyzer: passes take their time
        EngineHarness harness(options);
        harness.onNotice = [&](int id, clsQuillaraItem* node, clsNodePhase phase) {
            checker.deliver(id, node, phase);
        };
        const std::vector<std::string> addresses = {
            server.url("/page"),       server.url("/text?size=9000"), server.url("/reset"),
            server.url("/status/404"), server.url("/drip?n=3&ms=2"),  server.url("/text?size=300"),
        };
        std::vector<clsUrlInformation*> records;
        for (const std::string& address : addresses)
            records.push_back(harness.request(clsRequestMode::read, address));
        std::mt19937 random(30);
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        int reloads = 0;
        // On a loaded machine pages end later and fewer rounds find one ended: the rounds go
        // on until enough reloads have been made.
        for (int round = 0;
             (round < 400 || reloads <= 50) && std::chrono::steady_clock::now() < giveUp; ++round) {
            clsUrlInformation* info = records[random() % records.size()];
            // A request that has ended (its final notification may still be on its way) is
            // read again at once: that is where an old node's notifications meet the new read's.
            if (info->getStatus() != clsRequestStatus::reading) {
                clsUrlInformation* again = nullptr;
                clsRequestMode mode =
                    random() % 3 == 0 ? clsRequestMode::readAgain : clsRequestMode::reload;
                if (harness.engine.requestItem(mode, 0, info->getAddress(), again)) {
                    again->releaseQueueRef();
                    ++reloads;
                }
            }
            if (round % 97 == 96)
                harness.engine.queueStop();
            harness.window.pump(random() % 3);
        }
        // Whatever is under way ends, and the last word on each id is a final notification
        // of the node the request has now.
        ASSERT_TRUE(harness.waitUntil(
            [&] {
                for (clsUrlInformation* info : records) {
                    const std::vector<Delivery>& seen = checker.byId[info->getId()];
                    clsQuillaraItem* node = info->getNode();
                    bool told = node != nullptr && !seen.empty() && seen.back().node == node &&
                                seen.back().phase == clsNodePhase::complete;
                    if (node != nullptr)
                        node->release();
                    if (!told)
                        return false;
                }
                return true;
            },
            60000))
            << [&] {
                   std::string state;
                   for (clsUrlInformation* info : records) {
                       const std::vector<Delivery>& seen = checker.byId[info->getId()];
                       state += info->getAddress() + " status " +
                                std::to_string(static_cast<int>(info->getStatus())) + " seen " +
                                std::to_string(seen.size()) +
                                (seen.empty()
                                     ? ""
                                     : " last phase " +
                                           std::to_string(static_cast<int>(seen.back().phase))) +
                                "\n";
                   }
                   return state;
               }();
        EXPECT_GT(reloads, 50);
        harness.onNotice = nullptr;
    }
    checker.releaseAll();
    std::string faults;
    for (const std::string& fault : checker.faults)
        faults += fault + "\n";
    EXPECT_EQ(checker.faultCount, 0) << checker.count << " deliveries\n" << faults;
}
