// Load and save of generated cabinets (10,000 and 100,000 items) against libxml2's HTML parser
// reading the same bytes. Prints the times and the ratios: load against libxml2 (goal <= 1)
// and 100k against 10k (goal <= 11, linear).
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

// Best of repeats, in milliseconds: the least disturbed run on a shared machine.
double bestMs(int repeats, const std::function<void()>& run)
{
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

struct Times {
    double parse = 0;  // bytes to document
    double load = 0;   // file to items in the tree
    double save = 0;   // items to file (atomic write)
    double libxml = 0; // libxml2 parsing the same bytes
    size_t bytes = 0;
};

Times measure(size_t items, const std::string& dir)
{
    Times t;
    std::string path = dir + "bench-" + std::to_string(items) + ".scb";
    std::string bytes = tviCabinetFile::write(tviCabinetGenerator::generate(items, 42));
    std::ofstream(path, std::ios::binary) << bytes;
    t.bytes = bytes.size();
    int repeats = items > 50000 ? 5 : 9;
    t.parse = bestMs(repeats, [&] {
        tviCabinetDocument doc;
        std::string error;
        tviCabinetFile::read(bytes, doc, error);
    });
    t.libxml = bestMs(repeats, [&] {
        htmlDocPtr doc = htmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), path.c_str(),
                                        "Shift_JIS", HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
        xmlFreeDoc(doc);
    });
    // Each load opens the cabinet into a fresh tree, as the program does at start-up; the
    // trees are destroyed outside the timing.
    std::vector<std::unique_ptr<ctrlMemoryTreeView>> trees;
    tviCabinet* cabinet = nullptr;
    t.load = bestMs(repeats, [&] {
        trees.push_back(std::make_unique<ctrlMemoryTreeView>());
        auto owned = std::make_unique<tviCabinet>(trees.back().get());
        owned->setPath(path);
        cabinet = static_cast<tviCabinet*>(trees.back()->adopt(std::move(owned)));
        cabinet->insertAndLoad(kTreeRoot, kTreeLast);
    });
    if (cabinet->isReadOnly()) {
        std::fprintf(stderr, "load failed: %s\n", cabinet->getLoadError().c_str());
    }
    t.save = bestMs(repeats, [&] { cabinet->save(); });
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
    xmlInitParser();
    std::string dir = std::filesystem::temp_directory_path().string() + "/";
    Times small = measure(10000, dir);
    Times large = measure(100000, dir);
    for (auto [label, t] : {std::pair{"10k", small}, std::pair{"100k", large}}) {
        std::printf("%-5s %8zu bytes  parse %8.2f ms  load %8.2f ms  save %8.2f ms  libxml2 %8.2f ms  "
                    "load/libxml2 %.2f  parse/libxml2 %.2f\n",
                    label, t.bytes, t.parse, t.load, t.save, t.libxml, t.load / t.libxml, t.parse / t.libxml);
    }
    std::printf("100k/10k: load %.2fx  save %.2fx  parse %.2fx  libxml2 %.2fx\n", large.load / small.load,
                large.save / small.save, large.parse / small.parse, large.libxml / small.libxml);
    xmlCleanupParser();
    return 0;
}
