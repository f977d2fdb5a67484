// The link check of a cabinet whose items all share one address against the same check of as
// many items with different addresses (local files, so no pacing and no network). Prints the
// best and the median time of each and the ratio shared/different (goal <= 1.5: a check is
// linear in its items whatever the duplicates).
//
// bench_check [ITEMS] [RUNS]   (defaults 20000 and 5)
#include "TreeViewItem/Cabinet/tviCabinetCheck.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"

#include "BenchFigures.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using benchfigures::Figures;
using benchfigures::summarise;

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string page(size_t i)
{
    return "<html><head><title>Page " + std::to_string(i) +
           "</title>"
           "<meta name=\"keywords\" content=\"bench,check\"></head><body>"
           "<a href=\"next.html\">next</a> <a href=\"img.gif\">image</a></body></html>\n";
}

// A cabinet of items under a few folders; item i shows addresses[i % addresses.size()].
std::string writeCabinet(const std::string& path, size_t items,
                         const std::vector<std::string>& addresses)
{
    tviCabinetDocument doc;
    doc.name = "bench";
    doc.productMark = true;
    for (size_t i = 0; i < items; ++i) {
        if (i % 1000 == 0) {
            tviCabinetEntry folder;
            folder.type = 3;
            folder.name = "folder " + std::to_string(i / 1000);
            doc.entries.push_back(folder);
        }
        tviCabinetEntry e;
        e.type = 4;
        e.parent = static_cast<int>(doc.entries.size() - 1 - i % 1000);
        e.name = "item " + std::to_string(i);
        e.url = addresses[i % addresses.size()];
        doc.entries.push_back(std::move(e));
    }
    writeFile(path, tviCabinetFile::write(doc));
    return path;
}

// One whole check: open, load every item, collect the results.
double checkSeconds(const std::string& cabinet, size_t expectLoaded)
{
    auto start = std::chrono::steady_clock::now();
    clsEngineOptions options;
    options.paceIntervalMs = 0;
    size_t loaded = 0;
    {
        tviCabinetCheck check(options);
        if (!check.open(cabinet) || !check.run(3600 * 1000)) {
            std::fprintf(stderr, "check failed: %s\n", cabinet.c_str());
            std::exit(1);
        }
        loaded = check.results().size() - check.failedCount();
    }
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (loaded != expectLoaded) {
        std::fprintf(stderr, "%s: %zu loaded, expected %zu\n", cabinet.c_str(), loaded,
                     expectLoaded);
        std::exit(1);
    }
    return took.count();
}

} // namespace

int main(int argc, char** argv)
{
    size_t items = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20000;
    int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (items == 0 || runs <= 0) {
        std::fprintf(stderr, "usage: bench_check [ITEMS] [RUNS]\n");
        return 2;
    }
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("bench_check." + std::to_string(::getpid()));
    fs::create_directories(dir);
    setenv("QUILLARA_HOME", dir.c_str(), 1);
    std::vector<std::string> different;
    different.reserve(items);
    for (size_t i = 0; i < items; ++i) {
        different.push_back((dir / ("page" + std::to_string(i) + ".html")).string());
        writeFile(different.back(), page(i));
    }
    std::string shared = writeCabinet((dir / "shared.scb").string(), items, {different.front()});
    std::string apart = writeCabinet((dir / "different.scb").string(), items, different);

    std::vector<double> sharedRuns;
    std::vector<double> apartRuns;
    for (int i = 0; i < runs; ++i) {
        apartRuns.push_back(checkSeconds(apart, items));
        sharedRuns.push_back(checkSeconds(shared, items));
    }
    Figures s = summarise(sharedRuns);
    Figures a = summarise(apartRuns);
    std::printf("check of %zu local items, %d runs each (best / median, seconds)\n", items, runs);
    std::printf("  one shared address    %8.3f / %8.3f\n", s.best, s.median);
    std::printf("  different addresses   %8.3f / %8.3f\n", a.best, a.median);
    std::printf("shared/different: best %.2fx  median %.2fx  (goal <= 1.5)\n", s.best / a.best,
                s.median / a.median);
    fs::remove_all(dir);
    return 0;
}
