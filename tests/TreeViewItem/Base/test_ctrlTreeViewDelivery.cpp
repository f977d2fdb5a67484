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
            owner->setStatus(requestFailed);
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
        return changed_.wait_for(guard, std::chrono::seconds(60), [&] { return finals_[id] >= count; });
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

    bool requestItem(int mode, int kind, const std::string& address, clsUrlInformation*& out) override
    {
        clsUrlInformation* probe = nullptr;
        if (!clsQuillaraEngine::requestItem(requestRegisterOnly, kind, address, probe) || probe == nullptr) {
            return clsQuillaraEngine::requestItem(mode, kind, address, out);
        }
        int id = probe->getId();
        int status = probe->getStatus();
        int before = target->finals(id);
        bool ok = clsQuillaraEngine::requestItem(mode, kind, address, out);
        bool reads = mode == requestRead || mode == requestReload || mode >= requestReadAgain;
        if (ok && reads && status != requestReading && !(target->waitFinals(id, before + 1) && workersIdle())) {
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

// Recorded from the tree that delivered every notification to every item paired with its id.
const Scenario kRecorded[] = {
    {1, 26, 0x49dcb19c3758892eull},
    {2, 7, 0x2763b38dbcf855a9ull},
    {3, 73, 0x2473208e890e9dd2ull},
    {4, 869, 0x0285ce5501f9e41aull},
    {5, 12, 0xd6d0cfc0773c2ae8ull},
    {6, 6, 0xac5fe044337c696full},
    {7, 11, 0x8b49c678050f8fb2ull},
    {8, 39, 0xe721d9bc1ed9e855ull},
    {9, 9, 0x56424ddb55f5c2c7ull},
    {10, 8, 0xeec98680a1b7d821ull},
    {11, 23, 0xf5534345251be51eull},
    {12, 20, 0x87198aa2e0b849b4ull},
    {13, 9, 0xe022ec0e4a0bd962ull},
    {14, 8, 0xb957f2b53c12e339ull},
    {15, 10, 0xf4247c50b781c468ull},
    {16, 16, 0x84ff51557f269f66ull},
    {17, 19, 0x8cb2216e2e0cc259ull},
    {18, 90, 0xd771c51839ee7bcdull},
    {19, 13, 0x6b04e83d1e1c3975ull},
    {20, 15, 0x4d80f244992e2e1eull},
    {21, 11, 0xd9d8bf2435c0c7d0ull},
    {22, 15, 0x2e423a66f59085d4ull},
    {23, 12, 0xb36e1db857b628edull},
    {24, 15, 0xdbf8bbca4fd1fc3full},
    {25, 9, 0xef6fd353f25535b2ull},
    {26, 10, 0xb46ab57530a5f5a8ull},
    {27, 13, 0x359f9507e0af1652ull},
    {28, 23, 0xcbcaca497b5c6c82ull},
    {29, 5, 0x550c53f2640ec776ull},
    {30, 74, 0xdf15bc40ad8b4f8full},
    {31, 67, 0xabeb1a7a1e92246eull},
    {32, 54, 0x550e939614473eb8ull},
    {33, 17, 0x79eccc11955942c8ull},
    {34, 11, 0x7563816d42a2ff43ull},
    {35, 13, 0x8ae7bf5aacd4aa07ull},
    {36, 17, 0x4ecacc58800c936cull},
    {37, 7, 0x85db1a2636d2ce7full},
    {38, 25, 0x5672a586f2754cf0ull},
    {39, 14, 0xd899e82661944f83ull},
    {40, 24, 0xf4eafe9890d45b32ull},
    {41, 16, 0x4a18564d105dc875ull},
    {42, 6, 0x2045ec6eba17e55bull},
    {43, 13, 0x7bfeba3c381783d9ull},
    {44, 15, 0x0e107ae538052760ull},
    {45, 11, 0x8d10dfd953a895ecull},
    {46, 20, 0xeda52352e8766be7ull},
    {47, 11, 0xefebcc80e57bd546ull},
    {48, 24, 0x7f0f57db5694cb75ull},
    {49, 17, 0x0b9febc54cdac56eull},
    {50, 29, 0x31630f5c866083f9ull},
    {51, 13, 0x46095d2bd2a3a7b4ull},
    {52, 17, 0x24a73694b97fdae0ull},
    {53, 17, 0x4e93b4c1b2f7885eull},
    {54, 12, 0xf76adadb02121bd9ull},
    {55, 80, 0xa9e063746d298c90ull},
    {56, 521, 0x7c9be7df441e229aull},
    {57, 62, 0x21ba78d0cea3c51eull},
    {58, 8, 0xe2f85b01ac01c8e0ull},
    {59, 10, 0xd08826728dd88222ull},
    {60, 12, 0x54143df4aa217eb1ull},
    {61, 6, 0x18a11a05cda992f6ull},
    {62, 211, 0xcbdefdb526cd603cull},
    {63, 10, 0x7a77b1bcf66835f0ull},
    {64, 304, 0xe6ad67961a41b4c3ull},
    {65, 12, 0x3c1769a6bc15545aull},
    {66, 17, 0x435d03c37c516f5aull},
    {67, 11, 0x1cb13e9fb1d05ae1ull},
    {68, 16, 0x3e64d467a0f215e9ull},
    {69, 25, 0xb6892d9a3b720092ull},
    {70, 17, 0x30a597c865cba98cull},
    {71, 8, 0xa0b9d53b4f4bcbbdull},
    {72, 50, 0x6ee831eb74cdd744ull},
    {73, 11, 0x6b5dcf852cce5b60ull},
    {74, 6, 0xead211662c205a94ull},
    {75, 10, 0xa3de287af9259980ull},
    {76, 16, 0x81cf728b40b2c162ull},
    {77, 6, 0xa21a9b5a3df77941ull},
    {78, 19, 0xa895878254bf126aull},
    {79, 16, 0x9729775ad6bf8971ull},
    {80, 11, 0xa43f1a7b6648926cull},
};

// The same from pages written as files (addresses under the test's directory shown as "~/").
const Scenario kRecordedFiles[] = {
    {1, 1076, 0x1c1afce53ebbc694ull},
    {2, 9, 0x571001f3bc228585ull},
    {3, 118, 0x10a0c58e7046f0c6ull},
    {4, 19, 0xa6733fa288d2f7a2ull},
    {5, 10, 0x5b729f7cc547c014ull},
    {6, 58, 0xa8335796b0dd20a8ull},
    {7, 32, 0x8a770e5bde79c926ull},
    {8, 35, 0x1225dc9615f4de61ull},
    {9, 26, 0x903d223eb60ce0b2ull},
    {10, 19, 0x3755e9be7db9b123ull},
    {11, 16, 0x1cbf44b195f3d59aull},
    {12, 16, 0x2a8e5a0225fd3835ull},
    {13, 24, 0xb5fb3a93513c232bull},
    {14, 10, 0x6f8b0cafad31d1b5ull},
    {15, 44, 0xdd06d9c45a7c51a3ull},
    {16, 20, 0x5fb4823415bbf8e5ull},
    {17, 17, 0x7e47d936e9b3d62cull},
    {18, 13, 0xe54ba574b53dafd7ull},
    {19, 45, 0xa4c6647f7f2e7f17ull},
    {20, 160, 0xa8100c2442ab97e0ull},
    {21, 8, 0x4b1064df904a49aaull},
    {22, 19, 0x7532b639d419ab09ull},
    {23, 181, 0xd16b128fcb6cd665ull},
    {24, 221, 0xf0b959d2e36e7fdcull},
    {25, 30, 0x57d67772fb22ea81ull},
    {26, 12, 0x66e8b9f4e6b8d982ull},
    {27, 12, 0x0024e49fc89beb9aull},
    {28, 18, 0x723a94a55312c2f0ull},
    {29, 66, 0xfd582b7c77138e54ull},
    {30, 19, 0x7833efedf82e46e0ull},
    {31, 21, 0xdd8ccc7b87e45db8ull},
    {32, 13, 0x945bee27ec2f3a27ull},
    {33, 25, 0xa1f4b9e09e3ecd48ull},
    {34, 10, 0xaeafd7753c566720ull},
    {35, 26, 0x5bf84df7e80772c4ull},
    {36, 933, 0xb82fba3dc754c1f9ull},
    {37, 20, 0xfa2c933bb15182a6ull},
    {38, 130, 0x805e2ab03a09022cull},
    {39, 17, 0x2006b685d6752dc4ull},
    {40, 11, 0x4713f25005ba1c6full},
    {41, 14, 0xe53d2e10c985259bull},
    {42, 12, 0x35924e7115491b76ull},
    {43, 18, 0xa7cb29c207ff55efull},
    {44, 15, 0x447df96c9eb3d039ull},
    {45, 17, 0x073ce2646cf45845ull},
    {46, 13, 0x75e35d0cdd2778d0ull},
    {47, 77, 0xefce64173c96e81dull},
    {48, 124, 0xc680ba4d0158b16aull},
    {49, 16, 0xd37ce9a15a696c79ull},
    {50, 20, 0xa1563b6cdc8ce89cull},
    {51, 12, 0x874dfaa5173d64afull},
    {52, 41, 0xd4e1d8ef01fbda83ull},
    {53, 503, 0x3644c8ae023eb6c2ull},
    {54, 19, 0x5c41126497647b1bull},
    {55, 15, 0x059104accb3a89fbull},
    {56, 23, 0x283f2b02cf8c2986ull},
    {57, 25, 0x69f2ce4d99af573eull},
    {58, 32, 0xa710e32f51e43e40ull},
    {59, 8, 0x9b7d3dcd4c1e7e81ull},
    {60, 14, 0x05edc99b0f43f889ull},
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
        static const char* const endings[] = {".html", ".html", ".html", ".htm", ".gif", "/", ".cgi"};
        std::vector<std::string> pool;
        int size = 10 + r.below(10);
        for (int i = 0; i < size; ++i) {
            pool.push_back(std::string("http://") + hosts[r.below(3)] + "/p" + std::to_string(i) + endings[r.below(7)]);
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
        static const char* const names[] = {"", "a", "link", "  spaced", "\x83\x65\x83\x58\x83\x67", "a"};
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
                html += r.below(10) == 0 ? "<frame src=\"" + target + "\">\n"
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
        auto* folder = static_cast<tviCabinetFolder*>(tree.adopt(std::make_unique<tviCabinetFolder>(&tree)));
        folder->setName("folder");
        EXPECT_TRUE(folder->insertItem(cabinet->getHandle(), kTreeLast));
        std::vector<tviCabinetItem*> items;
        for (const std::string& url : starts) {
            auto* item = static_cast<tviCabinetItem*>(tree.adopt(std::make_unique<tviCabinetItem>(&tree)));
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
            out += std::string(static_cast<size_t>(depth) * 2, ' ') + std::to_string(item->getType()) + ' ' +
                   item->getText() + " <" + item->getUrl() + "> s" + std::to_string(item->getStatus()) +
                   (tree.isExpanded(n) ? " open" : "") + " o" + std::to_string(tree.getOverlay(n)) + '\n';
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
        std::vector<tviCabinetItem*> items = makeCabinet(r, files.empty() ? makeSite(r) : makeFiles(r));
        randomSettings(r);
        static const int commands[] = {tviCommand::expandAll, tviCommand::expandAll, tviCommand::expand,
                                       tviCommand::reExpand};
        for (int i = 0, n = 3 + r.below(5); i < n; ++i) {
            tviCabinetItem* item = items[static_cast<size_t>(r.below(static_cast<int>(items.size())))];
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
    std::printf("%zu nodes, %zu deliveries, %zu to every paired item\n", totals[0], totals[1], totals[2]);
    return totals;
}

TEST(Delivery, WholeSubtreesOfRepeatedAddressesGrowAsBefore)
{
    testsupport::TempHome home;
    auto [nodes, delivered, toEveryItem] = checkTrees({std::begin(kRecorded), std::end(kRecorded)}, {});
    EXPECT_GT(nodes, 1000u);
    EXPECT_LT(delivered * 4, toEveryItem * 3);
}

TEST(Delivery, WholeSubtreesOfLocalFilesGrowAsBefore)
{
    testsupport::TempHome home;
    auto [nodes, delivered, toEveryItem] = checkTrees({std::begin(kRecordedFiles), std::end(kRecordedFiles)}, home.dir());
    EXPECT_GT(nodes, 500u);
    EXPECT_LT(delivered * 4, toEveryItem * 3);
}

} // namespace
