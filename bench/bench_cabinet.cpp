// Load and save of generated cabinets (10,000 and 100,000 items) against libxml2's HTML parser
// reading the same bytes. Prints the processor times and the ratios: load against libxml2 (goal
// <= 1) and 100k against 10k (floor 11, goal 10.5; linear is 10).
//
// The sizes are timed in turn, round by round (10k, 100k, 10k, 100k ...), as this thread's
// processor time, so that a busy spell of a shared machine falls on both alike; each round's
// 100k/10k ratio is kept and their median printed besides the ratio of the bests.
//
// Instructions (no hardware counters needed), one load of each size:
//   valgrind --tool=callgrind --toggle-collect='*profiledLoads*' bench_cabinet --load FILE 1
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetGenerator.h"

#include "BenchFigures.h"
#include <libxml/HTMLparser.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// Best and median of the rounds, in milliseconds.
using Ms = benchfigures::Figures;
using benchfigures::summarise;

// Processor time of this thread for one run, in milliseconds: the work is single-threaded,
// and time spent waiting for a core is nobody's work.
// Every timed run, ours and libxml2's, starts from a heap given back to the system, as the
// first load in a program does: otherwise a run after a smaller one finds its memory mapped
// already and one after a larger one does not, and the ratios measure what the allocator
// kept from the run before.
double cpuMs(const std::function<void()>& run)
{
    malloc_trim(0);
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    run();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return static_cast<double>(end.tv_sec - start.tv_sec) * 1e3 +
           static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e6;
}

// Opens path as a cabinet in a fresh tree, as the program does at start-up.
tviCabinet* loadInto(ctrlMemoryTreeView& tree, const std::string& path)
{
    auto owned = std::make_unique<tviCabinet>(&tree);
    owned->setPath(path);
    auto* cabinet = static_cast<tviCabinet*>(tree.adopt(std::move(owned)));
    cabinet->insertAndLoad(kTreeRoot, kTreeLast);
    return cabinet;
}

// The loads a profiler looks at; the trees are freed outside.
[[gnu::noinline]] void profiledLoads(std::vector<std::unique_ptr<ctrlMemoryTreeView>>& trees,
                                     const std::string& path)
{
    for (auto& tree : trees) {
        loadInto(*tree, path);
    }
}

// One size: its file and the runs of each round.
struct Size {
    size_t items = 0;
    std::string path;
    std::string bytes;
    std::vector<double> parse;  // bytes to document
    std::vector<double> load;   // file to items in the tree
    std::vector<double> save;   // items to file (atomic write)
    std::vector<double> libxml; // libxml2 parsing the same bytes
};

void prepare(Size& size, const std::string& dir)
{
    size.path = dir + "bench-" + std::to_string(size.items) + ".scb";
    size.bytes = tviCabinetFile::write(tviCabinetGenerator::generate(size.items, 42));
    std::ofstream(size.path, std::ios::binary) << size.bytes;
}

bool runRound(Size& size)
{
    size.parse.push_back(cpuMs([&] {
        tviCabinetDocument doc;
        std::string error;
        // The file is checked whole by the load below; this times the parse alone.
        (void)tviCabinetFile::read(size.bytes, doc, error);
    }));
    size.libxml.push_back(cpuMs([&] {
        htmlDocPtr doc = htmlReadMemory(
            size.bytes.data(), static_cast<int>(size.bytes.size()), size.path.c_str(), "Shift_JIS",
            HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
        xmlFreeDoc(doc);
    }));
    // The tree is freed outside the timing, before the next round.
    auto tree = std::make_unique<ctrlMemoryTreeView>();
    tviCabinet* cabinet = nullptr;
    size.load.push_back(cpuMs([&] { cabinet = loadInto(*tree, size.path); }));
    if (cabinet->isReadOnly()) {
        std::fprintf(stderr, "load failed: %s\n", cabinet->getLoadError().c_str());
        return false;
    }
    bool saved = false;
    size.save.push_back(cpuMs([&] { saved = cabinet->save(); }));
    if (!saved)
        std::fprintf(stderr, "save failed: %s\n", cabinet->getSaveError().c_str());
    return saved;
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
    // bench_cabinet --load FILE N loads FILE into N fresh trees, for a profiler.
    if (argc == 4 && std::string(argv[1]) == "--load") {
        std::vector<std::unique_ptr<ctrlMemoryTreeView>> trees;
        for (int i = 0, n = std::stoi(argv[3]); i < n; ++i) {
            trees.push_back(std::make_unique<ctrlMemoryTreeView>());
        }
        profiledLoads(trees, argv[2]);
        return 0;
    }
    // bench_cabinet --cycle FILE N loads FILE N times, freeing each tree before the next as
    // the rounds do, for perf stat and perf record.
    if (argc == 4 && std::string(argv[1]) == "--cycle") {
        for (int i = 0, n = std::stoi(argv[3]); i < n; ++i) {
            auto tree = std::make_unique<ctrlMemoryTreeView>();
            loadInto(*tree, argv[2]);
        }
        return 0;
    }
    // bench_cabinet [ROUNDS]
    int rounds = argc > 1 ? std::atoi(argv[1]) : 9;
    if (rounds < 1) {
        rounds = 9;
    }
    xmlInitParser();
    std::string dir = std::filesystem::temp_directory_path().string() + "/";
    Size small, large;
    small.items = 10000;
    large.items = 100000;
    prepare(small, dir);
    prepare(large, dir);
    std::vector<double> loadRatio, parseRatio, saveRatio, libxmlRatio;
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round) {
        ok = runRound(small) && runRound(large);
        if (ok) {
            loadRatio.push_back(large.load.back() / small.load.back());
            parseRatio.push_back(large.parse.back() / small.parse.back());
            saveRatio.push_back(large.save.back() / small.save.back());
            libxmlRatio.push_back(large.libxml.back() / small.libxml.back());
        }
    }
    std::filesystem::remove(small.path);
    std::filesystem::remove(large.path);
    xmlCleanupParser();
    if (!ok) {
        return 1;
    }
    std::printf("thread processor time in ms, best / median of %d interleaved rounds\n", rounds);
    for (const Size* s : {&small, &large}) {
        Ms parse = summarise(s->parse), load = summarise(s->load), save = summarise(s->save),
           libxml = summarise(s->libxml);
        std::printf(
            "%6zu items %8zu bytes  parse %7.2f / %7.2f  load %7.2f / %7.2f  save %7.2f / %7.2f  "
            "libxml2 %7.2f / %7.2f  load/libxml2 %.2f\n",
            s->items, s->bytes.size(), parse.best, parse.median, load.best, load.median, save.best,
            save.median, libxml.best, libxml.median, load.best / libxml.best);
    }
    auto growth = [&](std::vector<double> Size::*what, const std::vector<double>& perRound) {
        return std::pair{summarise(large.*what).best / summarise(small.*what).best,
                         summarise(perRound).median};
    };
    auto [loadBest, loadMedian] = growth(&Size::load, loadRatio);
    auto [saveBest, saveMedian] = growth(&Size::save, saveRatio);
    auto [parseBest, parseMedian] = growth(&Size::parse, parseRatio);
    auto [xmlBest, xmlMedian] = growth(&Size::libxml, libxmlRatio);
    std::printf(
        "100k/10k (ratio of bests, median of per-round ratios; linear is 10): load %.2fx %.2fx  "
        "save %.2fx %.2fx  parse %.2fx %.2fx  libxml2 %.2fx %.2fx\n",
        loadBest, loadMedian, saveBest, saveMedian, parseBest, parseMedian, xmlBest, xmlMedian);
    std::printf("load growth: floor 11x, goal 10.5x\n");
    return 0;
}
