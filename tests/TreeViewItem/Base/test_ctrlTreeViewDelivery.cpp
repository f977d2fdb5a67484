// Opening whole subtrees of made-up sites whose pages link to a few addresses many times: the
// final tree (which items got which sub-items, in which order, with which text, status and
// expansion) must stay what it was when every notification went to every paired item. The
// hashes below were recorded from that delivery; a change of delivery that alters any tree
// fails here and prints the tree.
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Platform/MessageTarget.h"
#include "TestSupport.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Cabinet/tviCabinetFolder.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Link {
    int kind;
    std::string address;
    std::string name;
};

// The pages of the site in use: each address gives its links; any other address is a 404.
std::map<std::string, std::vector<Link>>& site()
{
    static std::map<std::string, std::vector<Link>> pages;
    return pages;
}

class SiteNode : public clsQuillaraItem {
public:
    bool read(bool& needsNetwork, bool) override
    {
        needsNetwork = false;
        clsUrlInformation* owner = getOwner();
        if (owner != nullptr && site().count(owner->getAddress()) == 0) {
            owner->setResultCode(404);
            owner->setStatus(clsRequestStatus::failed);
        }
        return true;
    }
    bool analyze(bool& complete) override
    {
        if (clsUrlInformation* owner = getOwner()) {
            setTitle("T " + owner->getAddress().substr(7));
            for (const Link& l : site()[owner->getAddress()]) {
                addLink(l.kind, l.address, l.name, l.address);
            }
        }
        complete = true;
        return true;
    }
};

// The notifications wait here until settle(). A page that needs no transfer may be analysed
// before the worker that read it has queued its 3025: that 3025 goes in front of its 3027, so
// that the order does not depend on the threads. Final notifications are counted per id.
class SerialTarget : public platform::MessageTarget {
public:
    bool post(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) override
    {
        std::lock_guard<std::mutex> guard(mutex_);
        platform::Message m{id, wParam, lParam};
        auto at = queue_.end();
        if (id == WM_ENGINE_NODE_CREATED) {
            at = std::find_if(queue_.begin(), queue_.end(), [&](const platform::Message& q) {
                return q.id == WM_ENGINE_NODE_READ && q.wParam == wParam && q.lParam == lParam;
            });
        }
        queue_.insert(at, m);
        if (id == WM_ENGINE_NODE_READ) {
            ++finals_[static_cast<int>(wParam)];
            changed_.notify_all();
        }
        return true;
    }
    std::size_t postAll(const platform::Message* messages, std::size_t count) override
    {
        for (std::size_t i = 0; i < count; ++i) {
            post(messages[i].id, messages[i].wParam, messages[i].lParam);
        }
        return count;
    }
    // Handles what is queued, and what the handlers queue, until nothing is left.
    void settle()
    {
        for (;;) {
            platform::Message m;
            {
                std::lock_guard<std::mutex> guard(mutex_);
                if (queue_.empty()) {
                    return;
                }
                m = queue_.front();
                queue_.pop_front();
            }
            deliver(m);
        }
    }
    int finals(int id)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return finals_[id];
    }
    // Loose upper bound only: a read of a made-up page takes microseconds.
    bool waitFinals(int id, int count)
    {
        std::unique_lock<std::mutex> guard(mutex_);
        return changed_.wait_for(guard, std::chrono::seconds(60),
                                 [&] { return finals_[id] >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<platform::Message> queue_;
    std::map<int, int> finals_;
};

// An engine whose reads end, final notification queued, before requestItem returns: the order
// of the notifications, and so the tree, no longer depends on the threads' timing.
class SerialEngine : public clsQuillaraEngine {
public:
    SerialTarget* target = nullptr;
    bool timedOut = false;

    bool requestItem(clsRequestMode mode, int kind, const std::string& address,
                     clsUrlInformation*& out) override
    {
        clsUrlInformation* probe = nullptr;
        if (!clsQuillaraEngine::requestItem(clsRequestMode::registerOnly, kind, address, probe) ||
            probe == nullptr) {
            return clsQuillaraEngine::requestItem(mode, kind, address, out);
        }
        int id = probe->getId();
        clsRequestStatus status = probe->getStatus();
        int before = target->finals(id);
        bool ok = clsQuillaraEngine::requestItem(mode, kind, address, out);
        bool reads = mode == clsRequestMode::read || mode == clsRequestMode::reload ||
                     mode >= clsRequestMode::readAgain;
        if (ok && reads && status != clsRequestStatus::reading &&
            !(target->waitFinals(id, before + 1) && workersIdle())) {
            timedOut = true;
        }
        probe->releaseQueueRef();
        return ok;
    }

private:
    // A worker that started a read may still be about to queue its 3025 after the 3027.
    bool workersIdle()
    {
        for (int polls = 0; polls < 60000; ++polls) {
            int state = 0;
            int a = 0;
            int b = 0;
            if (getActivity(state, a, b) && state != 1) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
};

struct Scenario {
    unsigned seed;
    size_t nodes;
    std::uint64_t hash;
};

// Recorded from the tree that delivered every notification to every item paired with its id,
// then again once expand-all showed every level it read open (the same nodes and deliveries;
// only closed folders became open).
const Scenario kRecorded[] = {
    {1, 26, 0x501663ccc309bca4ull},  {2, 7, 0x2763b38dbcf855a9ull},
    {3, 73, 0x476f747503204f58ull},  {4, 869, 0x8d18ff01c8e604baull},
    {5, 12, 0x1869deb013d7e852ull},  {6, 6, 0xac5fe044337c696full},
    {7, 11, 0x8b49c678050f8fb2ull},  {8, 39, 0xee1466ab0347d9a9ull},
    {9, 9, 0x56424ddb55f5c2c7ull},   {10, 8, 0xeec98680a1b7d821ull},
    {11, 23, 0xee803d941bbdff46ull}, {12, 20, 0xbbbadc48fd5c8df6ull},
    {13, 9, 0xc5593a4ec24c2300ull},  {14, 8, 0xb957f2b53c12e339ull},
    {15, 10, 0xf4247c50b781c468ull}, {16, 16, 0xd5b72467ac5b05c6ull},
    {17, 19, 0xca21265584b14bedull}, {18, 90, 0x3b758c9b060a3e4dull},
    {19, 13, 0x6b04e83d1e1c3975ull}, {20, 15, 0x2be5eb77c814233eull},
    {21, 11, 0xd9d8bf2435c0c7d0ull}, {22, 15, 0x62a4ae09f522caeeull},
    {23, 12, 0x639b9ed4ee01afbfull}, {24, 15, 0x8d6b7bc317d02107ull},
    {25, 9, 0x264782ee6027af44ull},  {26, 10, 0xb46ab57530a5f5a8ull},
    {27, 13, 0x8258a661aec240baull}, {28, 23, 0xeb34cf70b4265ae0ull},
    {29, 5, 0x550c53f2640ec776ull},  {30, 74, 0xf32acaa795b26c8dull},
    {31, 67, 0x718c8bfb163fa31eull}, {32, 54, 0xa802f4c3b63146baull},
    {33, 17, 0x3d4f736200f4b596ull}, {34, 11, 0x8f82aa67dff30517ull},
    {35, 13, 0xb7adbc46daf4a8b3ull}, {36, 17, 0xffcfb16907b81024ull},
    {37, 7, 0x85db1a2636d2ce7full},  {38, 25, 0xd6c92b5e4cfaef08ull},
    {39, 14, 0xb38eb5968d4f8055ull}, {40, 24, 0xd9da5e1b2017ab1eull},
    {41, 16, 0x09992a6fc2ccaaabull}, {42, 6, 0x2045ec6eba17e55bull},
    {43, 13, 0x869913516a35c7a7ull}, {44, 15, 0x0e107ae538052760ull},
    {45, 11, 0x8d10dfd953a895ecull}, {46, 20, 0xc88faebab38f3023ull},
    {47, 11, 0xefebcc80e57bd546ull}, {48, 24, 0xc557041a8a78e319ull},
    {49, 17, 0x0b9febc54cdac56eull}, {50, 29, 0x782e85103d40f749ull},
    {51, 13, 0x46095d2bd2a3a7b4ull}, {52, 17, 0x03347d77b7c687d2ull},
    {53, 17, 0xc5a2d9037227f0f2ull}, {54, 12, 0x0f41b5d8f582058dull},
    {55, 80, 0xc5825e23bad9bdc8ull}, {56, 521, 0x415dc53b17021356ull},
    {57, 62, 0xf78fa242e1f7547aull}, {58, 8, 0xe2f85b01ac01c8e0ull},
    {59, 10, 0xd08826728dd88222ull}, {60, 12, 0xe1b7439aabbaa2c3ull},
    {61, 6, 0x18a11a05cda992f6ull},  {62, 211, 0xefed849e70aadfa0ull},
    {63, 10, 0x0b5d56364aa4aec2ull}, {64, 304, 0xa793fe897b6f821bull},
    {65, 12, 0x3c1769a6bc15545aull}, {66, 17, 0x435d03c37c516f5aull},
    {67, 11, 0x1cb13e9fb1d05ae1ull}, {68, 16, 0x3e64d467a0f215e9ull},
    {69, 25, 0xae746af0494da948ull}, {70, 17, 0xf1d6312e89aa4716ull},
    {71, 8, 0xa0b9d53b4f4bcbbdull},  {72, 50, 0x0a5f95768a9dfefeull},
    {73, 11, 0x6b5dcf852cce5b60ull}, {74, 6, 0xead211662c205a94ull},
    {75, 10, 0xddb570502f133a64ull}, {76, 16, 0x5e27d66e13951262ull},
    {77, 6, 0xa21a9b5a3df77941ull},  {78, 19, 0x1b51133ed84ec874ull},
    {79, 16, 0xfdda377d4f18f423ull}, {80, 11, 0x679ac349a3566942ull},
};

// The same from pages written as files (addresses under the test's directory shown as "~/").
const Scenario kRecordedFiles[] = {
    {1, 1076, 0x8f786da00a234e24ull}, {2, 9, 0x571001f3bc228585ull},
    {3, 118, 0xe2622ace9e82d87eull},  {4, 19, 0x38cc0dd87c039ca4ull},
    {5, 10, 0x5b729f7cc547c014ull},   {6, 58, 0x38fe6af8e06d8cb0ull},
    {7, 32, 0x64cdb56d02970bd8ull},   {8, 35, 0x7d75ece8a1ffe8f7ull},
    {9, 26, 0x00ee741abda8a8c0ull},   {10, 19, 0x00132703063b1f85ull},
    {11, 16, 0xc091a25c382b2e92ull},  {12, 16, 0x4384a1af2e3cc4f1ull},
    {13, 24, 0x5a54fad470521a0bull},  {14, 10, 0xfab43d6b82b3efe3ull},
    {15, 44, 0x667ce4c7c0986d0full},  {16, 20, 0xc43b51d6a925fbfbull},
    {17, 17, 0x7e47d936e9b3d62cull},  {18, 13, 0x36433346779231ebull},
    {19, 45, 0x1c6935c15dcad781ull},  {20, 160, 0x336361b9994207b2ull},
    {21, 8, 0x4b1064df904a49aaull},   {22, 19, 0x19166116250911cbull},
    {23, 181, 0x7cbcec45484d1483ull}, {24, 221, 0xa55b510b73fcb8b4ull},
    {25, 30, 0xbec104db1dab0049ull},  {26, 12, 0x66e8b9f4e6b8d982ull},
    {27, 12, 0x2ef191d8090d38aeull},  {28, 18, 0xa202fc256c9eb39aull},
    {29, 66, 0xfd582b7c77138e54ull},  {30, 19, 0xee16337e4e423ad2ull},
    {31, 21, 0x3b25b098a506095eull},  {32, 13, 0x945bee27ec2f3a27ull},
    {33, 25, 0xabeb0ceb5c693880ull},  {34, 10, 0xaeafd7753c566720ull},
    {35, 26, 0x61ec1516ad49cfe4ull},  {36, 933, 0xc275f25bfea1ae6full},
    {37, 20, 0xa2e9831a99445590ull},  {38, 130, 0xbee70563d622a950ull},
    {39, 17, 0xe0780aa8a72db608ull},  {40, 11, 0x4713f25005ba1c6full},
    {41, 14, 0x5fd50f344c4c7d4dull},  {42, 12, 0x35924e7115491b76ull},
    {43, 18, 0xad919133a339e9afull},  {44, 15, 0x807d7485dfd6b1fdull},
    {45, 17, 0x073ce2646cf45845ull},  {46, 13, 0x2ed66b987f8a866cull},
    {47, 77, 0x46b04fa824cb0023ull},  {48, 124, 0x30e62e41b722b814ull},
    {49, 16, 0xc134334a69bceb2bull},  {50, 20, 0x862320df865e672aull},
    {51, 12, 0x874dfaa5173d64afull},  {52, 41, 0x9f1141e9a21d8b49ull},
    {53, 503, 0x391342c50c200bf4ull}, {54, 19, 0x096c465157bf14ebull},
    {55, 15, 0xd4fd15e40bacd1e7ull},  {56, 23, 0x6deb187932b223ccull},
    {57, 25, 0x69f2ce4d99af573eull},  {58, 32, 0x2e4916a97eabcae2ull},
    {59, 8, 0x9b7d3dcd4c1e7e81ull},   {60, 14, 0x05edc99b0f43f889ull},
};

struct Rng {
    std::mt19937 gen;
    int below(int n) { return static_cast<int>(gen() % static_cast<unsigned>(n)); }
};

std::uint64_t fnv1a(const std::string& text)
{
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h = (h ^ c) * 1099511628211ull;
    }
    return h;
}

// One scenario's engine and tree, made anew for each, so that no page stays read between them.
// With a directory the pages are HTML files written there and read by the real analyzer;
// without, made-up pages of a few hosts.
struct World {
    SerialTarget window;
    SerialEngine engine;
    ctrlMemoryTreeView tree;
    std::string files;
    size_t everyItemDeliveries = 0; // what delivering to every paired item would have cost

    explicit World(std::string directory = {}) : files(std::move(directory))
    {
        clsEngineOptions options;
        options.paceIntervalMs = 0;
        if (files.empty()) {
            options.nodeFactory = [](int) -> clsQuillaraItem* { return new SiteNode(); };
        }
        engine.target = &window;
        window.setHandler([this](const platform::Message& m) {
            if (m.id >= WM_ENGINE_NODE_CREATED && m.id <= WM_ENGINE_NODE_READ) {
                everyItemDeliveries += tree.itemsOfRequest(static_cast<int>(m.wParam)).size();
            }
            engine.handleMessage(m);
        });
        EXPECT_TRUE(engine.init(&tree, &window, options));
        tree.setEngine(&engine);
    }
    ~World()
    {
        engine.term();
        window.setHandler([](const platform::Message& m) { clsQuillaraEngine::DiscardMessage(m); });
        window.settle();
        tree.setEngine(nullptr);
        site().clear();
    }
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    void settle() { window.settle(); }

    // A site of a few hosts and pages that link to a few favourite addresses, many times over.
    std::vector<std::string> makeSite(Rng& r)
    {
        static const char* const hosts[] = {"a.example", "www.a.example", "b.example"};
        static const char* const names[] = {"", "a", "link", "  spaced", "a longer name", "a"};
        static const char* const endings[] = {".html", ".html", ".html", ".htm",
                                              ".gif",  "/",     ".cgi"};
        std::vector<std::string> pool;
        int size = 10 + r.below(10);
        for (int i = 0; i < size; ++i) {
            pool.push_back(std::string("http://") + hosts[r.below(3)] + "/p" + std::to_string(i) +
                           endings[r.below(7)]);
        }
        int favourites = 1 + r.below(3);
        auto pickAddress = [&] {
            return pool[static_cast<size_t>(r.below(3) == 0 ? r.below(favourites) : r.below(size))];
        };
        for (const std::string& address : pool) {
            if (r.below(8) == 0) {
                continue; // not found
            }
            std::vector<Link>& links = site()[address];
            int count = 3 + r.below(8);
            for (int i = 0; i < count; ++i) {
                links.push_back({r.below(10) == 0 ? 18 : 0, pickAddress(), names[r.below(6)]});
            }
        }
        std::vector<std::string> starts;
        for (int i = 0, n = 3 + r.below(5); i < n; ++i) {
            starts.push_back(pickAddress());
        }
        return starts;
    }

    // The same kind of site as local files: relative links, frames, missing files.
    std::vector<std::string> makeFiles(Rng& r)
    {
        static const char* const names[] = {"", "a", "link", "  spaced", "\x83\x65\x83\x58\x83\x67",
                                            "a"};
        static const char* const endings[] = {".html", ".html", ".htm", ".txt", ".gif"};
        std::vector<std::string> pool;
        int size = 10 + r.below(10);
        for (int i = 0; i < size; ++i) {
            pool.push_back("f" + std::to_string(i) + endings[r.below(5)]);
        }
        int favourites = 1 + r.below(3);
        auto pickName = [&] {
            return pool[static_cast<size_t>(r.below(3) == 0 ? r.below(favourites) : r.below(size))];
        };
        for (const std::string& name : pool) {
            if (r.below(8) == 0) {
                continue; // not found
            }
            std::string html = "<html><head><title>" + name + "</title></head><body>\n";
            for (int i = 0, count = 3 + r.below(8); i < count; ++i) {
                std::string target = pickName();
                html += r.below(10) == 0
                            ? "<frame src=\"" + target + "\">\n"
                            : "<a href=\"" + target + "\">" + names[r.below(6)] + "</a>\n";
            }
            testsupport::writeFile(files + name, html + "</body></html>\n");
        }
        std::vector<std::string> starts;
        for (int i = 0, n = 3 + r.below(5); i < n; ++i) {
            starts.push_back(files + pickName());
        }
        return starts;
    }

    std::vector<tviCabinetItem*> makeCabinet(Rng& r, const std::vector<std::string>& starts)
    {
        auto* cabinet = static_cast<tviCabinet*>(tree.adopt(std::make_unique<tviCabinet>(&tree)));
        cabinet->setReadOnly(false);
        EXPECT_TRUE(cabinet->insertItem(kTreeRoot, kTreeLast));
        auto* folder =
            static_cast<tviCabinetFolder*>(tree.adopt(std::make_unique<tviCabinetFolder>(&tree)));
        folder->setName("folder");
        EXPECT_TRUE(folder->insertItem(cabinet->getHandle(), kTreeLast));
        std::vector<tviCabinetItem*> items;
        for (const std::string& url : starts) {
            auto* item =
                static_cast<tviCabinetItem*>(tree.adopt(std::make_unique<tviCabinetItem>(&tree)));
            item->setName(url);
            item->setUrl(url);
            TreeNode parent = r.below(3) == 0 ? folder->getHandle() : cabinet->getHandle();
            EXPECT_TRUE(item->insertItem(parent, kTreeLast));
            items.push_back(item);
        }
        return items;
    }

    void randomSettings(Rng& r)
    {
        tree.settings.showRes = 1 + r.below(2);
        tree.settings.showDupLink = 1 + r.below(3);
        tree.settings.showLink = 1 + r.below(2);
        tree.settings.autoExp = r.below(2);
        tree.settings.emptyUrl = r.below(3) == 0 ? 1 : 0;
        tree.settings.byNowUrl = r.below(2);
        tree.settings.hostNameLimit = 1 + r.below(4);
        tree.settings.treeNode = r.below(3);
    }

    std::string dump()
    {
        std::string out;
        std::vector<std::pair<TreeNode, int>> work;
        for (TreeNode n = tree.getFirstChild(kTreeRoot); n != nullptr; n = tree.getNextSibling(n)) {
            work.emplace_back(n, 0);
        }
        std::reverse(work.begin(), work.end());
        while (!work.empty()) {
            auto [n, depth] = work.back();
            work.pop_back();
            tviTreeViewItem* item = tree.getItem(n);
            out += std::string(static_cast<size_t>(depth) * 2, ' ') +
                   std::to_string(item->getType()) + ' ' + item->getText() + " <" + item->getUrl() +
                   "> s" + std::to_string(static_cast<int>(item->getStatus())) +
                   (tree.isExpanded(n) ? " open" : "") + " o" + std::to_string(tree.getOverlay(n)) +
                   '\n';
            std::vector<std::pair<TreeNode, int>> children;
            for (TreeNode c = tree.getFirstChild(n); c != nullptr; c = tree.getNextSibling(c)) {
                children.emplace_back(c, depth + 1);
            }
            work.insert(work.end(), children.rbegin(), children.rend());
        }
        for (size_t at = 0; !files.empty() && (at = out.find(files, at)) != std::string::npos;) {
            out.replace(at, files.size(), "~/");
        }
        return out;
    }

    // One scenario: a site, a cabinet, settings, then expand-all, expand and re-expand on
    // cabinet items, the notifications sometimes handled between the commands.
    std::string run(unsigned seed)
    {
        Rng r{std::mt19937(seed)};
        std::vector<tviCabinetItem*> items =
            makeCabinet(r, files.empty() ? makeSite(r) : makeFiles(r));
        randomSettings(r);
        static const int commands[] = {codeOf(utlCommand::expandAll), codeOf(utlCommand::expandAll),
                                       codeOf(utlCommand::expand), codeOf(utlCommand::reExpand)};
        for (int i = 0, n = 3 + r.below(5); i < n; ++i) {
            tviCabinetItem* item =
                items[static_cast<size_t>(r.below(static_cast<int>(items.size())))];
            bool handled = false;
            item->executeCommand(commands[r.below(4)], false, handled);
            if (r.below(2) == 0) {
                settle();
            }
        }
        settle();
        return dump();
    }
};

// Runs the scenarios of table (or, with QUILLARA_RECORD_TREES=N, seeds 1 to N, printing the
// table instead of checking it) and returns the nodes, deliveries and every-item deliveries.
std::array<size_t, 3> checkTrees(const std::vector<Scenario>& table, const std::string& files)
{
    const char* record = std::getenv("QUILLARA_RECORD_TREES");
    std::vector<Scenario> scenarios = table;
    if (record != nullptr) {
        scenarios.clear();
        for (unsigned seed = 1; seed <= static_cast<unsigned>(std::atoi(record)); ++seed) {
            scenarios.push_back({seed, 0, 0});
        }
    }
    std::array<size_t, 3> totals{};
    for (const Scenario& expected : scenarios) {
        SCOPED_TRACE(expected.seed);
        std::string directory;
        if (!files.empty()) {
            directory = files + std::to_string(expected.seed) + "/";
            std::filesystem::create_directories(directory);
        }
        World world(directory);
        std::string tree = world.run(expected.seed);
        EXPECT_FALSE(world.engine.timedOut);
        size_t count = static_cast<size_t>(std::count(tree.begin(), tree.end(), '\n'));
        totals[0] += count;
        totals[1] += world.tree.deliveryCount();
        totals[2] += world.everyItemDeliveries;
        if (record != nullptr) {
            std::printf("    {%u, %zu, 0x%016llxull},\n", expected.seed, count,
                        static_cast<unsigned long long>(fnv1a(tree)));
            if (std::getenv("QUILLARA_SHOW_TREES") != nullptr) {
                std::printf("%s\n", tree.c_str());
            }
            continue;
        }
        EXPECT_EQ(expected.nodes, count) << tree;
        EXPECT_EQ(expected.hash, fnv1a(tree)) << tree;
    }
    // The scenarios do repeat final notifications: fewer deliveries than items paired.
    std::printf("%zu nodes, %zu deliveries, %zu to every paired item\n", totals[0], totals[1],
                totals[2]);
    return totals;
}

TEST(Delivery, WholeSubtreesOfRepeatedAddressesGrowAsBefore)
{
    testsupport::TempHome home;
    auto [nodes, delivered, toEveryItem] =
        checkTrees({std::begin(kRecorded), std::end(kRecorded)}, {});
    EXPECT_GT(nodes, 1000u);
    EXPECT_LT(delivered * 4, toEveryItem * 3);
}

TEST(Delivery, WholeSubtreesOfLocalFilesGrowAsBefore)
{
    testsupport::TempHome home;
    auto [nodes, delivered, toEveryItem] =
        checkTrees({std::begin(kRecordedFiles), std::end(kRecordedFiles)}, home.dir());
    EXPECT_GT(nodes, 500u);
    EXPECT_LT(delivered * 4, toEveryItem * 3);
}

} // namespace
