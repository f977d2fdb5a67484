#include "TreeViewItem/Cabinet/tviCabinetMerge.h"

#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <unordered_set>

uint64_t tviCabinetMerge::keyOf(uint64_t parentKey, const tviCabinetEntry& e)
{
    std::string text = std::to_string(parentKey) + '\x1f' + std::to_string(e.type) + '\x1f' +
                       e.name + '\x1f' + e.url;
    return std::hash<std::string>{}(text);
}

uint64_t tviCabinetMerge::editsOf(const tviCabinetEntry& e)
{
    return std::hash<std::string>{}((e.marked ? "1" : "0") + e.description);
}

std::vector<uint64_t> tviCabinetMerge::keysOf(const tviCabinetDocument& doc)
{
    std::vector<uint64_t> keys(doc.entries.size(), 0);
    for (size_t i = 0; i < doc.entries.size(); ++i) {
        const tviCabinetEntry& e = doc.entries[i];
        uint64_t parent = e.parent >= 0 && static_cast<size_t>(e.parent) < i ? keys[e.parent] : 0;
        keys[i] = keyOf(parent, e);
    }
    return keys;
}

void tviCabinetMerge::Base::add(const tviCabinetEntry& e)
{
    size_t i = folderKeys.size();
    uint64_t parent = e.parent >= 0 && static_cast<size_t>(e.parent) < i ? folderKeys[e.parent] : 0;
    uint64_t key = keyOf(parent, e);
    folderKeys.push_back(key);
    entries.push_back({key, e.status, editsOf(e)});
}

void tviCabinetMerge::Base::finish()
{
    folderKeys.clear();
    folderKeys.shrink_to_fit();
    std::stable_sort(entries.begin(), entries.end());
}

tviCabinetMerge::Base tviCabinetMerge::baseOf(const tviCabinetDocument& doc)
{
    Base base;
    std::vector<uint64_t> keys = keysOf(doc);
    base.entries.reserve(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        base.entries.push_back({keys[i], doc.entries[i].status, editsOf(doc.entries[i])});
    std::stable_sort(base.entries.begin(), base.entries.end());
    return base;
}

tviCabinetDocument tviCabinetMerge::merge(const Base& base, const tviCabinetDocument& ours,
                                          const tviCabinetDocument& theirs)
{
    auto findBase = [&](uint64_t key) -> const BaseEntry* {
        auto it = std::lower_bound(base.entries.begin(), base.entries.end(), BaseEntry{key, 0, 0});
        return it == base.entries.end() || it->key != key ? nullptr : &*it;
    };
    auto inBase = [&](uint64_t key, int* status) {
        const BaseEntry* found = findBase(key);
        if (found != nullptr && status != nullptr)
            *status = found->status;
        return found != nullptr;
    };
    std::vector<uint64_t> ourKeys = keysOf(ours);
    std::vector<uint64_t> theirKeys = keysOf(theirs);
    std::unordered_map<uint64_t, size_t> theirIndex;
    for (size_t i = 0; i < theirKeys.size(); ++i)
        theirIndex.emplace(theirKeys[i], i);
    std::unordered_set<uint64_t> ourSet(ourKeys.begin(), ourKeys.end());

    // The merged tree as children lists over (which, index): which 0 ours, 1 theirs.
    struct Node {
        int which;
        size_t index;
        std::vector<size_t> children;
    };
    std::vector<Node> nodes{{-1, 0, {}}};            // node 0: the cabinet
    std::unordered_map<uint64_t, size_t> folderNode; // folder key -> node
    std::vector<size_t> ourNode(ours.entries.size(), 0);
    for (size_t i = 0; i < ours.entries.size(); ++i) {
        const tviCabinetEntry& e = ours.entries[i];
        size_t parent = e.parent >= 0 ? ourNode[e.parent] : 0;
        auto found = theirIndex.find(ourKeys[i]);
        // An item the other program removed goes, unless the window made it or the user
        // changed its note or mark since: what the user wrote is not lost.
        const BaseEntry* was = found == theirIndex.end() ? findBase(ourKeys[i]) : nullptr;
        if (e.type != 3 && was != nullptr && was->edits == editsOf(e))
            continue;
        nodes.push_back({0, i, {}});
        size_t node = nodes.size() - 1;
        nodes[parent].children.push_back(node);
        ourNode[i] = node;
        if (e.type == 3)
            folderNode.emplace(ourKeys[i], node);
    }
    std::vector<size_t> theirNode(theirs.entries.size(), 0);
    for (size_t i = 0; i < theirs.entries.size(); ++i) {
        const tviCabinetEntry& e = theirs.entries[i];
        auto mine = folderNode.find(theirKeys[i]);
        if (mine != folderNode.end()) {
            theirNode[i] = mine->second;
            continue;
        }
        if (ourSet.count(theirKeys[i]) != 0 || inBase(theirKeys[i], nullptr))
            continue; // the window has it, or removed it
        size_t parent = e.parent >= 0 ? theirNode[e.parent] : 0;
        nodes.push_back({1, i, {}});
        size_t node = nodes.size() - 1;
        nodes[parent].children.push_back(node);
        theirNode[i] = node;
        if (e.type == 3)
            folderNode.emplace(theirKeys[i], node);
    }

    tviCabinetDocument out;
    out.name = ours.name;
    out.description = ours.description;
    out.productMark = true;
    out.entries.reserve(nodes.size() - 1);
    std::vector<std::pair<size_t, int>> work;
    for (auto it = nodes[0].children.rbegin(); it != nodes[0].children.rend(); ++it)
        work.emplace_back(*it, -1);
    while (!work.empty()) {
        auto [node, parent] = work.back();
        work.pop_back();
        const Node& n = nodes[node];
        tviCabinetEntry e = n.which == 0 ? ours.entries[n.index] : theirs.entries[n.index];
        // A status the other program found anew (a link check) is taken.
        if (n.which == 0) {
            auto found = theirIndex.find(ourKeys[n.index]);
            int was = 0;
            if (found != theirIndex.end() && inBase(ourKeys[n.index], &was) &&
                theirs.entries[found->second].status != was)
                e.status = theirs.entries[found->second].status;
        }
        e.parent = parent;
        out.entries.push_back(std::move(e));
        int index = static_cast<int>(out.entries.size()) - 1;
        for (auto it = n.children.rbegin(); it != n.children.rend(); ++it)
            work.emplace_back(*it, index);
    }
    return out;
}
