#pragma once

#include "Engine/Core/clsBlockItem.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Engine/Core/clsEngineTarget.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Platform/MessageTarget.h"

#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

// What a notification showed of its request, copied on the pumping thread.
struct Notice {
    int id = 0;
    int phase = 0; // the clsNodePhase number, as the recorded sequences show it
    int status = 0;
    int result = 0;
    std::size_t received = 0;
};

// An engine with a queue target that the test pumps on its own thread, as the CLI does.
// Short timeouts and no pacing unless the test sets them. keepNodes holds a reference on
// every node a final notification brings, released when the harness goes. Nodes are
// clsBlockItem, which keep every block they receive.
class EngineHarness : public clsEngineTarget {
public:
    static clsEngineOptions quickOptions()
    {
        clsEngineOptions options;
        options.agentName = "QuillaraTest/1.0";
        options.connectTimeoutMs = 2000;
        options.receiveTimeoutMs = 2000;
        options.paceIntervalMs = 0;
        options.retryUnitMs = 5; // retry waits of 5, 10 ... ms instead of seconds
        options.nodeFactory = [](int) -> clsQuillaraItem* { return new clsBlockItem(); };
        return options;
    }

    explicit EngineHarness(const clsEngineOptions& options = quickOptions())
    {
        window.setHandler([this](const platform::Message& m) { engine.handleMessage(m); });
        engine.init(this, &window, options);
    }

    ~EngineHarness() override
    {
        engine.term();
        while (window.pump(0) > 0) {
        }
        releaseAll();
        for (clsQuillaraItem* node : kept)
            node->release();
    }

    void onNodeNotify(int id, clsQuillaraItem* node, clsNodePhase phase) override
    {
        Notice notice{id, static_cast<int>(phase), static_cast<int>(node->getStatus()), 0,
                      node->getReceivedLength()};
        if (clsUrlInformation* info = node->getOwner())
            notice.result = info->getResultCode();
        notices.push_back(notice);
        if (phase == clsNodePhase::complete) {
            ended.insert(id);
            if (keepNodes) {
                node->addRef();
                kept.push_back(node);
                finalNode[id] = node;
            }
        }
        if (onNotice)
            onNotice(id, node, phase);
    }

    // Requests address and keeps the queue reference in held (released by releaseAll).
    clsUrlInformation* request(clsRequestMode mode, const std::string& address, int kind = 0)
    {
        clsUrlInformation* info = nullptr;
        if (!engine.requestItem(mode, kind, address, info))
            return nullptr;
        held.push_back(info);
        return info;
    }

    // Pumps until every id has had a final notification, or until the wait gives up
    // (returns false then: the test fails instead of hanging).
    bool waitForEnd(const std::vector<int>& ids, int giveUpMs = 60000)
    {
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(giveUpMs);
        while (std::chrono::steady_clock::now() < giveUp) {
            bool all = true;
            for (int id : ids)
                all = all && ended.count(id) != 0;
            if (all)
                return true;
            window.pump(20);
        }
        return false;
    }

    bool waitForEnd(int id, int giveUpMs = 60000)
    {
        return waitForEnd(std::vector<int>{id}, giveUpMs);
    }

    // Pumps until done() holds (a worker may still be giving back its last reference after
    // the final notification); false when it never does.
    bool waitUntil(const std::function<bool()>& done, int giveUpMs = 10000)
    {
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(giveUpMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() >= giveUp)
                return false;
            window.pump(10);
        }
        return true;
    }

    // The held requests that have had no final notification, for failure messages.
    std::string unended() const
    {
        std::string text;
        for (clsUrlInformation* info : held)
            if (ended.count(info->getId()) == 0)
                text += info->getAddress() + " status " +
                        std::to_string(static_cast<int>(info->getStatus())) + "; ";
        return text;
    }

    int countNotices(int id, clsNodePhase phase) const
    {
        int count = 0;
        for (const Notice& n : notices)
            count += (n.id == id && n.phase == static_cast<int>(phase)) ? 1 : 0;
        return count;
    }

    void releaseAll()
    {
        for (clsUrlInformation* info : held)
            info->releaseQueueRef();
        held.clear();
    }

    platform::QueueMessageTarget window;
    clsQuillaraEngine engine;
    std::vector<Notice> notices;
    std::set<int> ended;
    bool keepNodes = false;
    std::vector<clsQuillaraItem*> kept;
    std::map<int, clsQuillaraItem*> finalNode;
    std::vector<clsUrlInformation*> held;
    std::function<void(int, clsQuillaraItem*, clsNodePhase)> onNotice;
};

// The bytes of all blocks a node holds.
inline std::string nodeBytes(const clsQuillaraItem* node)
{
    std::string bytes;
    for (std::size_t i = 0; i < node->getBlockCount(); ++i) {
        const char* data = nullptr;
        std::size_t length = 0;
        node->getBlock(i, data, length);
        bytes.append(data, length);
    }
    return bytes;
}

} // namespace testsupport
