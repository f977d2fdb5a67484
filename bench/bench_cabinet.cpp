// Load and save of generated cabinets (10,000 and 100,000 items) against libxml2's HTML parser
// reading the same bytes. Prints the times and the ratios: load against libxml2 (goal <= 1)
// and 100k against 10k (goal <= 10.5; linear is 10).
#include "TreeViewItem/ctrlMemoryTreeView.h"
#include "TreeViewItem/tviCabinet.h"
#include "TreeViewItem/tviCabinetFile.h"
#include "TreeViewItem/tviCabinetGenerator.h"

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// Best and median of repeats, in milliseconds: the least disturbed run on a shared machine,
// and the median to judge the noise by.
struct Ms {
    double best = 0;
    double median = 0;
};

Ms timeMs(int repeats, const std::function<void()>& run)
{
    std::vector<double> runs;
    for (int i = 0; i < repeats; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        runs.push_back(took.count());
    }
    std::sort(runs.begin(), runs.end());
    return {runs.front(), runs[runs.size() / 2]};
}

struct Times {
    Ms parse;  // bytes to document
    Ms load;   // file to items in the tree
    Ms save;   // items to file (atomic write)
    Ms libxml; // libxml2 parsing the same bytes
    size_t bytes = 0;
};

// Opens path as a cabinet in a fresh tree, as the program does at start-up.
tviCabinet* loadInto(std::vector<std::unique_ptr<ctrlMemoryTreeView>>& trees, const std::string& path)
{
    trees.push_back(std::make_unique<ctrlMemoryTreeView>());
    auto owned = std::make_unique<tviCabinet>(trees.back().get());
    owned->setPath(path);
    auto* cabinet = static_cast<tviCabinet*>(trees.back()->adopt(std::move(owned)));
    cabinet->insertAndLoad(kTreeRoot, kTreeLast);
    return cabinet;
}

Times measure(size_t items, const std::string& dir)
{
    Times t;
    std::string path = dir + "bench-" + std::to_string(items) + ".scb";
    std::string bytes = tviCabinetFile::write(tviCabinetGenerator::generate(items, 42));
    std::ofstream(path, std::ios::binary) << bytes;
    t.bytes = bytes.size();
    int repeats = items > 50000 ? 5 : 9;
    t.parse = timeMs(repeats, [&] {
        tviCabinetDocument doc;
        std::string error;
        tviCabinetFile::read(bytes, doc, error);
    });
    t.libxml = timeMs(repeats, [&] {
        htmlDocPtr doc = htmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), path.c_str(),
                                        "Shift_JIS", HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
        xmlFreeDoc(doc);
    });
    // The trees are destroyed outside the timing.
    std::vector<std::unique_ptr<ctrlMemoryTreeView>> trees;
    tviCabinet* cabinet = nullptr;
    t.load = timeMs(repeats, [&] { cabinet = loadInto(trees, path); });
    if (cabinet->isReadOnly()) {
        std::fprintf(stderr, "load failed: %s\n", cabinet->getLoadError().c_str());
    }
    t.save = timeMs(repeats, [&] { cabinet->save(); });
    trees.clear();
    std::filesystem::remove(path);
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    // bench_cabinet --write FILE N writes a generated cabinet of N items (for the window's
    // screenshots and for trying large cabinets by hand) and measures nothing.
    if (argc == 4 && std::string(argv[1]) == "--write") {
        std::ofstream(argv[2], std::ios::binary)
            << tviCabinetFile::write(tviCabinetGenerator::generate(std::stoul(argv[3]), 42));
        return 0;
    }
    // bench_cabinet --load FILE N loads FILE N times, each into a fresh tree, for a profiler.
    if (argc == 4 && std::string(argv[1]) == "--load") {
        for (int i = 0, n = std::stoi(argv[3]); i < n; ++i) {
            std::vector<std::unique_ptr<ctrlMemoryTreeView>> trees;
            loadInto(trees, argv[2]);
        }
        return 0;
    }
    xmlInitParser();
    std::string dir = std::filesystem::temp_directory_path().string() + "/";
    Times small = measure(10000, dir);
    Times large = measure(100000, dir);
    std::printf("milliseconds, best / median of %d (10k) and %d (100k) runs\n", 9, 5);
    for (auto [label, t] : {std::pair{"10k", small}, std::pair{"100k", large}}) {
        std::printf("%-5s %8zu bytes  parse %7.2f / %7.2f  load %7.2f / %7.2f  save %7.2f / %7.2f  "
                    "libxml2 %7.2f / %7.2f  load/libxml2 %.2f\n",
                    label, t.bytes, t.parse.best, t.parse.median, t.load.best, t.load.median, t.save.best,
                    t.save.median, t.libxml.best, t.libxml.median, t.load.best / t.libxml.best);
    }
    auto growth = [&](Ms Times::*what) {
        return std::pair{(large.*what).best / (small.*what).best, (large.*what).median / (small.*what).median};
    };
    auto [loadBest, loadMedian] = growth(&Times::load);
    auto [saveBest, saveMedian] = growth(&Times::save);
    auto [parseBest, parseMedian] = growth(&Times::parse);
    auto [xmlBest, xmlMedian] = growth(&Times::libxml);
    std::printf("100k/10k (best, median; linear is 10): load %.2fx %.2fx  save %.2fx %.2fx  parse %.2fx %.2fx  "
                "libxml2 %.2fx %.2fx\n",
                loadBest, loadMedian, saveBest, saveMedian, parseBest, parseMedian, xmlBest, xmlMedian);
    xmlCleanupParser();
    return 0;
}
