// The tree's request map against a plain multimap that is walked whole for every check, on
// random sequences of requests, withdrawals and notifications whose handlers change the map
// while it is walked. A final notification that brings again the node of the last one,
// unchanged, goes only to the items paired or asking since.
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Platform/MessageTarget.h"
#include "TestSupport.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

// What one delivery did: (item, id, phase).
using Delivery = std::tuple<int, int, clsNodePhase>;

// Random choices, drawn in the same order by both sides as long as they behave alike.
struct Script {
    std::mt19937 rng;
    int below(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
};

// The request map as a multimap from id to item, walked whole for every check.
class ReferenceMap {
public:
    std::multimap<int, int> pairs;
    std::vector<int> number;
    std::vector<bool> flag;
    std::vector<Delivery> log;
    std::map<int, std::pair<int, int>>
        lastFinal; // id -> node and its version at its last final notification
    std::set<std::pair<int, int>> fresh; // (id, item) paired or asked since then
    size_t narrowed = 0;
    std::function<void(int item, clsNodePhase phase)> onDeliver;

    explicit ReferenceMap(int items) : number(items, -1), flag(items, false) {}

    void request(int item, int id)
    {
        int old = number[item];
        if (old >= 0 && old != id) {
            withdraw(old, item);
        }
        number[item] = id;
        fresh.emplace(id, item);
        auto [from, to] = pairs.equal_range(id);
        for (auto it = from; it != to; ++it) {
            if (it->second == item) {
                return;
            }
        }
        pairs.emplace(id, item);
    }
    void withdraw(int id, int item)
    {
        fresh.erase({id, item});
        auto [from, to] = pairs.equal_range(id);
        for (auto it = from; it != to;) {
            it = it->second == item ? pairs.erase(it) : std::next(it);
        }
    }
    void forget(int item)
    {
        std::erase_if(fresh, [&](const std::pair<int, int>& f) { return f.second == item; });
        for (auto it = pairs.begin(); it != pairs.end();) {
            it = it->second == item ? pairs.erase(it) : std::next(it);
        }
    }
    std::vector<int> itemsOf(int id) const
    {
        std::vector<int> flagged, others;
        auto [from, to] = pairs.equal_range(id);
        for (auto it = from; it != to; ++it) {
            (flag[it->second] ? flagged : others).push_back(it->second);
        }
        flagged.insert(flagged.end(), others.begin(), others.end());
        return flagged;
    }
    void notify(int id, clsNodePhase phase, int node, int version)
    {
        std::vector<int> to = itemsOf(id);
        if (phase != clsNodePhase::complete) {
            lastFinal[id] = {-1, 0};
        } else {
            bool repeat = lastFinal.count(id) != 0 && lastFinal[id] == std::pair(node, version);
            lastFinal[id] = {node, version};
            if (repeat) {
                size_t all = to.size();
                std::erase_if(to, [&](int item) { return fresh.count({id, item}) == 0; });
                narrowed += to.size() < all ? 1 : 0;
            }
            std::erase_if(fresh, [&](const std::pair<int, int>& f) { return f.first == id; });
        }
        for (int item : to) {
            bool stillPaired = false;
            auto [from, to] = pairs.equal_range(id);
            for (auto it = from; it != to; ++it) {
                stillPaired = stillPaired || it->second == item;
            }
            if (!stillPaired) {
                continue;
            }
            number[item] = id;
            log.emplace_back(item, id, phase);
            onDeliver(item, phase);
        }
    }
};

// An item that reports its notifications to the test.
class ProbeItem : public tviCabinetItem {
public:
    ProbeItem(ctrlTreeView* tree, int index) : tviCabinetItem(tree), index(index) {}
    void onRequestNotify(clsNodePhase phase) override { onDeliver(index, phase); }
    int index;
    std::function<void(int, clsNodePhase)> onDeliver;
};

struct RequestMap : ::testing::Test {
    static constexpr int itemCount = 24;
    static constexpr int addressCount = 5;
    testsupport::TempHome home;
    platform::QueueMessageTarget window;
    clsQuillaraEngine engine;
    ctrlMemoryTreeView tree;
    std::vector<ProbeItem*> items;
    std::vector<std::string> addresses;
    std::vector<clsUrlInformation*> held;
    std::map<std::string, int> idOf;
    std::vector<clsQuillaraItem*> nodes; // what notifications bring, each held once here

    void SetUp() override
    {
        clsEngineOptions options;
        options.paceIntervalMs = 0;
        window.setHandler([this](const platform::Message& m) { engine.handleMessage(m); });
        ASSERT_TRUE(engine.init(&tree, &window, options));
        tree.setEngine(&engine);
        auto* cabinet = static_cast<tviCabinet*>(tree.adopt(std::make_unique<tviCabinet>(&tree)));
        ASSERT_TRUE(cabinet->insertItem(kTreeRoot, kTreeLast));
        // Registered only and held, so that every request of an address gets the same id.
        for (int a = 0; a < addressCount; ++a) {
            addresses.push_back(home.dir() + "page" + std::to_string(a) + ".html");
            clsUrlInformation* info = nullptr;
            ASSERT_TRUE(engine.requestItem(clsRequestMode::registerOnly, typeCabinetItem,
                                           addresses.back(), info));
            held.push_back(info);
            idOf[addresses.back()] = info->getId();
        }
        for (int n = 0; n < 3; ++n) {
            nodes.push_back(new clsQuillaraItem());
            nodes.back()->addRef();
        }
        for (int i = 0; i < itemCount; ++i) {
            auto* item = static_cast<ProbeItem*>(tree.adopt(std::make_unique<ProbeItem>(&tree, i)));
            item->setUrl(addresses[static_cast<size_t>(i % addressCount)]);
            ASSERT_TRUE(item->insertItem(cabinet->getHandle(), kTreeLast));
            items.push_back(item);
        }
    }
    void TearDown() override
    {
        for (clsUrlInformation* info : held) {
            info->releaseQueueRef();
        }
        engine.term();
        window.setHandler([](const platform::Message& m) { clsQuillaraEngine::DiscardMessage(m); });
        while (window.pump(0) > 0) {
        }
        for (ProbeItem* item : items) {
            item->setRequest(-1, nullptr);
        }
        for (clsQuillaraItem* node : nodes) {
            node->release();
        }
    }
    int someId(Script& s) { return idOf[addresses[static_cast<size_t>(s.below(addressCount))]]; }
};

TEST_F(RequestMap, PairsAndDeliversAsAPlainMultimap)
{
    int titles = 0;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        for (ProbeItem* item : items) {
            tree.forgetItem(item);
            item->setRequest(-1, nullptr);
            item->setFlag(false);
        }
        ReferenceMap model(itemCount);
        std::vector<int> version(nodes.size(), 0);
        std::vector<Delivery> log;
        Script real{std::mt19937(seed)};
        Script ref{std::mt19937(seed)};
        // Handlers change the map while a notification is being delivered.
        auto act = [](Script& s, int self, auto&& request, auto&& withdraw, auto&& forget,
                      auto&& flag) {
            int other = s.below(itemCount);
            switch (s.below(8)) {
            case 0: withdraw(self); break;
            case 1: withdraw(other); break;
            case 2: request(other, s.below(addressCount)); break;
            case 3: forget(other); break;
            case 4: flag(other, s.below(2) == 1); break;
            default: break;
            }
        };
        for (ProbeItem* item : items) {
            item->onDeliver = [&, this](int self, clsNodePhase phase) {
                log.emplace_back(self, items[static_cast<size_t>(self)]->getRequestNumber(), phase);
                act(
                    real, self,
                    [&](int i, int a) {
                        items[static_cast<size_t>(i)]->setUrl(addresses[static_cast<size_t>(a)]);
                        tree.request(items[static_cast<size_t>(i)], clsRequestMode::registerOnly);
                    },
                    [&](int i) {
                        tree.withdraw(items[static_cast<size_t>(i)]->getRequestNumber(),
                                      items[static_cast<size_t>(i)]);
                    },
                    [&](int i) { tree.forgetItem(items[static_cast<size_t>(i)]); },
                    [&](int i, bool f) { items[static_cast<size_t>(i)]->setFlag(f); });
            };
        }
        model.onDeliver = [&, this](int self, clsNodePhase) {
            act(
                ref, self,
                [&](int i, int a) { model.request(i, idOf[addresses[static_cast<size_t>(a)]]); },
                [&](int i) { model.withdraw(model.number[static_cast<size_t>(i)], i); },
                [&](int i) { model.forget(i); },
                [&](int i, bool f) { model.flag[static_cast<size_t>(i)] = f; });
        };
        for (int step = 0; step < 400; ++step) {
            int op = real.below(6);
            ASSERT_EQ(op, ref.below(6));
            int i = real.below(itemCount);
            ASSERT_EQ(i, ref.below(itemCount));
            ProbeItem* item = items[static_cast<size_t>(i)];
            if (op <= 1) {
                int a = real.below(addressCount);
                ASSERT_EQ(a, ref.below(addressCount));
                item->setUrl(addresses[static_cast<size_t>(a)]);
                // Asking the engine, or sharing an id without asking: the same pairing.
                if (op == 0) {
                    ASSERT_TRUE(tree.request(item, clsRequestMode::registerOnly));
                } else {
                    tree.share(item, idOf[addresses[static_cast<size_t>(a)]]);
                }
                model.request(i, idOf[addresses[static_cast<size_t>(a)]]);
            } else if (op == 2) {
                tree.withdraw(item->getRequestNumber(), item);
                model.withdraw(model.number[static_cast<size_t>(i)], i);
            } else if (op == 3) {
                bool f = real.below(2) == 1;
                ASSERT_EQ(f, ref.below(2) == 1);
                item->setFlag(f);
                model.flag[static_cast<size_t>(i)] = f;
            } else {
                int id = someId(real);
                ASSERT_EQ(id, someId(ref));
                // Mostly final notifications, mostly of one node: the engine's repeats.
                auto draw = [](Script& s) {
                    return s.below(4) == 0 ? std::pair(1 + s.below(2), s.below(3))
                                           : std::pair(3, s.below(4) / 3);
                };
                auto [number, node] = draw(real);
                ASSERT_EQ(std::pair(number, node), draw(ref));
                auto phase = static_cast<clsNodePhase>(number);
                // Now and then the node changes (a page whose analysis had not ended).
                bool changes = real.below(8) == 0;
                ASSERT_EQ(changes, ref.below(8) == 0);
                if (changes) {
                    nodes[static_cast<size_t>(node)]->setTitle("t" + std::to_string(++titles));
                    version[static_cast<size_t>(node)] = step + 1;
                }
                tree.onNodeNotify(id, nodes[static_cast<size_t>(node)], phase);
                model.notify(id, phase, node, version[static_cast<size_t>(node)]);
                ASSERT_EQ(model.log, log) << "step " << step;
            }
            ASSERT_EQ(model.pairs.size(), tree.pendingRequestCount()) << "step " << step;
            for (const auto& [address, id] : idOf) {
                std::vector<int> got;
                for (tviTreeViewItem* t : tree.itemsOfRequest(id)) {
                    got.push_back(static_cast<ProbeItem*>(t)->index);
                }
                ASSERT_EQ(model.itemsOf(id), got) << "step " << step << " id " << id;
            }
            for (int k = 0; k < itemCount; ++k) {
                ASSERT_EQ(model.number[static_cast<size_t>(k)],
                          items[static_cast<size_t>(k)]->getRequestNumber());
            }
        }
        EXPECT_GT(model.log.size(), 100u);
        EXPECT_GT(model.narrowed, 3u);
    }
}

} // namespace

namespace {

// How many nodes show address, by walking the whole tree: what the index must answer.
int countByWalk(const ctrlTreeView& tree, const std::string& address)
{
    int count = 0;
    std::vector<TreeNode> work;
    for (TreeNode n = tree.getFirstChild(kTreeRoot); n != nullptr; n = tree.getNextSibling(n)) {
        work.push_back(n);
    }
    while (!work.empty()) {
        TreeNode n = work.back();
        work.pop_back();
        count += tree.getItem(n) != nullptr && tree.getItem(n)->getUrl() == address ? 1 : 0;
        for (TreeNode c = tree.getFirstChild(n); c != nullptr; c = tree.getNextSibling(c)) {
            work.push_back(c);
        }
    }
    return count;
}

} // namespace

// The address index, made at the first question and kept up to date from then on, answers
// what a walk over the tree answers, whenever the first question comes.
TEST(AddressIndex, AnswersAsAWalkWhenEverItIsMade)
{
    const std::vector<std::string> pool{"", "http://a/", "http://b/", "/local/c.html"};
    for (unsigned seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        ctrlMemoryTreeView tree;
        auto* cabinet = static_cast<tviCabinet*>(tree.adopt(std::make_unique<tviCabinet>(&tree)));
        ASSERT_TRUE(cabinet->insertItem(kTreeRoot, kTreeLast));
        std::vector<tviTreeViewItem*> live{cabinet};
        int firstQuestion = static_cast<int>(rng() % 200);
        for (int step = 0; step < 250; ++step) {
            tviTreeViewItem* at = live[rng() % live.size()];
            switch (rng() % 5) {
            case 0:
            case 1: {
                auto* item = static_cast<tviCabinetItem*>(
                    tree.adopt(std::make_unique<tviCabinetItem>(&tree)));
                item->setUrl(pool[rng() % pool.size()]);
                ASSERT_TRUE(item->insertItem(at->getHandle(), kTreeLast));
                live.push_back(item);
                break;
            }
            case 2:
                if (at != cabinet) {
                    static_cast<tviCabinetItem*>(at)->setUrl(pool[rng() % pool.size()]);
                }
                break;
            case 3:
                if (at != cabinet) {
                    at->moveTo(live[rng() % live.size()]->getHandle(), kTreeLast);
                }
                break;
            default:
                if (at != cabinet) {
                    std::vector<tviTreeViewItem*> gone;
                    for (TreeNode n : tree.subtreeNodes(at->getHandle())) {
                        gone.push_back(tree.getItem(n));
                    }
                    at->deleteSubtree();
                    for (tviTreeViewItem* g : gone) {
                        std::erase(live, g);
                        tree.destroyItem(g);
                    }
                }
                break;
            }
            if (step >= firstQuestion) {
                for (const std::string& address : pool) {
                    ASSERT_EQ(countByWalk(tree, address), tree.countShowing(address))
                        << "step " << step;
                }
            }
        }
    }
}
