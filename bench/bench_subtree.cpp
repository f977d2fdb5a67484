// "Expand all" (一括展開) of a page whose N links all go to one address, against the same
// page with N links to N different addresses: the window's road (the tree's request map,
// its delivery of notifications and its expansion queue) on the in-memory tree, the engine
// reading local files. Every link becomes a sub-item (ShowDupLink 1), each is then asked for
// in turn; with one address every request after the first finds the page complete and is
// told at once. Prints best and median of each, the ratio one/different per size, and how
// the one-address time grows from the first size to the last (linear: the sizes' ratio).
//
// bench_subtree [RUNS] [SIZE...]   (defaults 3, 2000 20000)
#include "Engine/Core/clsQuillaraEngine.h"
#include "Platform/MessageTarget.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"

#include "BenchFigures.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

using benchfigures::Figures;
using benchfigures::summarise;

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string leaf(size_t i)
{
    return "<html><head><title>Leaf " + std::to_string(i) +
           "</title></head><body>"
           "<a href=\"next.html\">next</a> <a href=\"img.gif\">image</a></body></html>\n";
}

// The page to expand: links to target(0), target(1), ... target(links - 1).
template <typename Target>
void writeTop(const fs::path& path, size_t links, Target target)
{
    std::string html = "<html><head><title>Top</title></head><body>\n";
    for (size_t i = 0; i < links; ++i) {
        html += "<a href=\"" + target(i) + "\">link " + std::to_string(i) + "</a>\n";
    }
    writeFile(path, html + "</body></html>\n");
}

// One whole expand-all of top; returns seconds, or a negative number when it did not end.
double expandAllSeconds(const std::string& top, size_t links)
{
    auto start = std::chrono::steady_clock::now();
    platform::QueueMessageTarget window;
    clsQuillaraEngine engine;
    size_t done = 0;
    {
        ctrlMemoryTreeView tree;
        clsEngineOptions options;
        options.paceIntervalMs = 0;
        window.setHandler([&](const platform::Message& m) { engine.handleMessage(m); });
        if (!engine.init(&tree, &window, options)) {
            return -1;
        }
        tree.setEngine(&engine);
        tree.settings.showDupLink = 1;
        tree.reserveItems(links + 8);
        auto* cabinet = static_cast<tviCabinet*>(tree.adopt(std::make_unique<tviCabinet>(&tree)));
        cabinet->insertItem(kTreeRoot, kTreeLast);
        auto* item =
            static_cast<tviCabinetItem*>(tree.adopt(std::make_unique<tviCabinetItem>(&tree)));
        item->setUrl(top);
        item->insertItem(cabinet->getHandle(), kTreeLast);
        bool handled = false;
        item->executeCommand(codeOf(utlCommand::expandAll), false, handled);
        // Ends when every sub-item has been read; the sub-items are checked from the last
        // one seen unfinished, so that waiting costs no more than the items.
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(30);
        TreeNode next = nullptr;
        while (std::chrono::steady_clock::now() < giveUp) {
            window.pump(20);
            if (item->getStatus() != clsRequestStatus::complete) {
                continue;
            }
            if (next == nullptr && done == 0) {
                next = tree.getFirstChild(item->getHandle());
            }
            while (next != nullptr &&
                   tree.getItem(next)->getStatus() >= clsRequestStatus::complete) {
                ++done;
                next = tree.getNextSibling(next);
            }
            if (next == nullptr && done > 0) {
                break;
            }
        }
        engine.term();
        window.setHandler([](const platform::Message& m) { clsQuillaraEngine::DiscardMessage(m); });
        while (window.pump(0) > 0) {
        }
        tree.setEngine(nullptr);
    }
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return done == links ? took.count() : -1;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    std::vector<size_t> sizes;
    for (int i = 2; i < argc; ++i) {
        sizes.push_back(std::strtoul(argv[i], nullptr, 10));
    }
    if (sizes.empty()) {
        sizes = {2000, 20000};
    }
    if (runs <= 0 || std::find(sizes.begin(), sizes.end(), 0u) != sizes.end()) {
        std::fprintf(stderr, "usage: bench_subtree [RUNS] [SIZE...]\n");
        return 2;
    }
    fs::path dir = fs::temp_directory_path() / ("bench_subtree." + std::to_string(::getpid()));
    fs::create_directories(dir);
    setenv("QUILLARA_HOME", dir.c_str(), 1);
    size_t largest = *std::max_element(sizes.begin(), sizes.end());
    for (size_t i = 0; i < largest; ++i) {
        writeFile(dir / ("leaf" + std::to_string(i) + ".html"), leaf(i));
    }
    std::printf(
        "expand all of a page of N links, local files, %d runs each (best / median, seconds)\n",
        runs);
    std::vector<Figures> oneAddress;
    for (size_t links : sizes) {
        std::string one = (dir / ("one" + std::to_string(links) + ".html")).string();
        std::string apart = (dir / ("apart" + std::to_string(links) + ".html")).string();
        writeTop(one, links, [](size_t) { return std::string("leaf0.html"); });
        writeTop(apart, links, [](size_t i) { return "leaf" + std::to_string(i) + ".html"; });
        std::vector<double> oneRuns;
        std::vector<double> apartRuns;
        for (int r = 0; r < runs; ++r) {
            apartRuns.push_back(expandAllSeconds(apart, links));
            oneRuns.push_back(expandAllSeconds(one, links));
            if (apartRuns.back() < 0 || oneRuns.back() < 0) {
                std::fprintf(stderr, "expand all of %zu links did not end\n", links);
                return 1;
            }
        }
        Figures o = summarise(oneRuns);
        Figures a = summarise(apartRuns);
        oneAddress.push_back(o);
        std::printf("  N=%-7zu one address %8.3f / %8.3f   different %8.3f / %8.3f   "
                    "one/different: best %.2fx median %.2fx\n",
                    links, o.best, o.median, a.best, a.median, o.best / a.best,
                    o.median / a.median);
    }
    if (sizes.size() > 1) {
        std::printf("one address, N=%zu against N=%zu: best %.1fx median %.1fx (linear: %.1fx)\n",
                    sizes.back(), sizes.front(), oneAddress.back().best / oneAddress.front().best,
                    oneAddress.back().median / oneAddress.front().median,
                    static_cast<double>(sizes.back()) / static_cast<double>(sizes.front()));
    }
    fs::remove_all(dir);
    return 0;
}
