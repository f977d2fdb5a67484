// The analyzer (conversion, scanning, link records) over a few MB of real Japanese pages,
// against gumbo (a full HTML5 parse) and libxml2's HTML parser on the same UTF-8 bytes.
// Goals: at least 5x gumbo and 4x libxml2 (3x at the least).
#include "BenchCorpus.h"
#include "Engine/Analysis/clsHtmlItem.h"
#include "Engine/Analysis/clsHtmlScanner.h"
#include "Engine/Http/clsUrlInformation.h"

#include "BenchFigures.h"
#include <gumbo.h>
#include <libxml/HTMLparser.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t blockSize = 2048;

std::size_t analyzePage(const std::string& bytes)
{
    clsUrlInformation owner;
    owner.set(1, 0, "http://bench.example/dir/page.html");
    clsHtmlItem item;
    item.setUrlInformation(&owner);
    bool complete = false;
    for (std::size_t at = 0; at < bytes.size(); at += blockSize) {
        std::size_t n = std::min(blockSize, bytes.size() - at);
        std::unique_ptr<char[]> block(new char[n + 1]);
        std::memcpy(block.get(), bytes.data() + at, n);
        block[n] = 0;
        item.appendBlock(std::move(block), n);
        item.analyze(complete);
    }
    item.setTransferEnded();
    item.analyze(complete);
    std::size_t found = static_cast<std::size_t>(item.getLinkCount());
    item.setUrlInformation(nullptr);
    return found;
}

// The scanner alone, reporting into nothing.
class CountingScanner : public clsHtmlScanner {
public:
    std::size_t links = 0;

protected:
    bool reportLink(int, const std::string&, const std::string&, const std::string&) override
    {
        return ++links;
    }
    bool reportResource(int, const std::string&, const std::string&) override { return true; }
    bool reportTitle(const std::string&) override { return true; }
};

// The rounds a profiler looks at (callgrind --toggle-collect=*profiledRounds*); the
// converter's tables are made before, by a first pass.
[[gnu::noinline]] std::size_t profiledRounds(const std::vector<std::string>& pages, int rounds)
{
    std::size_t found = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const auto& page : pages)
            found += analyzePage(page);
    }
    return found;
}

// Processor time of this thread for one run: the contenders are single-threaded, and on a
// shared machine the time spent waiting for a core is nobody's work.
double cpuSeconds(const std::function<void()>& run)
{
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    run();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9;
}

using benchfigures::Figures;
using benchfigures::summarise;

} // namespace

// bench_analyzer [ROUNDS]: every round times (processor time) each contender once, in turn, so that a busy
// spell of the shared machine falls on all of them alike; best and median of the rounds are
// printed, and the ratio of the bests with the median of the per-round ratios.
// bench_analyzer --only-ours ROUNDS: our analyzer on the UTF-8 pages alone, for profilers.
int main(int argc, char** argv)
{
    std::vector<std::string> utf8 = benchcorpus::pages("utf8");
    std::vector<std::string> sjis = benchcorpus::pages("sjis");
    if (utf8.empty()) {
        std::fprintf(stderr, "no corpus in %s\n", benchcorpus::directory().c_str());
        return 1;
    }
    bool onlyOurs = argc > 1 && std::strcmp(argv[1], "--only-ours") == 0;
    int rounds = argc > 1 ? std::atoi(argv[argc - 1]) : 15;
    if (rounds < 1)
        rounds = onlyOurs ? 20 : 15;
    // A few MB: the corpus four times over.
    std::vector<std::string> pages, sjisPages;
    for (int round = 0; round < 4; ++round) {
        pages.insert(pages.end(), utf8.begin(), utf8.end());
        sjisPages.insert(sjisPages.end(), sjis.begin(), sjis.end());
    }
    std::size_t sink = 0;
    if (onlyOurs) {
        for (const auto& page : pages)
            sink += analyzePage(page);
        sink += profiledRounds(pages, rounds);
        std::printf("%zu links\n", sink);
        return 0;
    }
    std::size_t bytes = 0, sjisBytes = 0;
    for (const auto& page : pages)
        bytes += page.size();
    for (const auto& page : sjisPages)
        sjisBytes += page.size();
    double mb = bytes / 1e6, sjisMb = sjisBytes / 1e6;
    std::vector<double> ours, oursSjis, scanner, gumbo, libxml, gumboRatio, libxmlRatio;
    for (int round = 0; round < rounds; ++round) {
        ours.push_back(cpuSeconds([&] {
            for (const auto& page : pages)
                sink += analyzePage(page);
        }));
        oursSjis.push_back(cpuSeconds([&] {
            for (const auto& page : sjisPages)
                sink += analyzePage(page);
        }));
        scanner.push_back(cpuSeconds([&] {
            for (const auto& page : sjisPages) {
                CountingScanner scan;
                scan.scanBlock(page.data(), page.size());
                scan.finishScan();
                sink += scan.links;
            }
        }));
        gumbo.push_back(cpuSeconds([&] {
            for (const auto& page : pages) {
                GumboOutput* output =
                    gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
                sink += output->root != nullptr;
                gumbo_destroy_output(&kGumboDefaultOptions, output);
            }
        }));
        libxml.push_back(cpuSeconds([&] {
            for (const auto& page : pages) {
                htmlDocPtr doc =
                    htmlReadMemory(page.data(), static_cast<int>(page.size()), "page.html", "UTF-8",
                                   HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
                sink += doc != nullptr;
                xmlFreeDoc(doc);
            }
        }));
        gumboRatio.push_back(gumbo.back() / ours.back());
        libxmlRatio.push_back(libxml.back() / ours.back());
    }
    Figures o = summarise(ours), os = summarise(oursSjis), sc = summarise(scanner),
            g = summarise(gumbo), x = summarise(libxml), gr = summarise(gumboRatio),
            xr = summarise(libxmlRatio);
    std::printf("analyzer benchmark: %zu pages, %.2f MB UTF-8 (%.2f MB Shift_JIS), blocks of %zu "
                "bytes, %d rounds, "
                "thread processor time\n",
                pages.size(), mb, sjisMb, blockSize, rounds);
    std::printf("                                      best MB/s  median MB/s\n");
    std::printf("  quillara analyzer, UTF-8 pages      %8.1f  %8.1f\n", mb / o.best, mb / o.median);
    std::printf("  quillara analyzer, Shift_JIS pages  %8.1f  %8.1f\n", sjisMb / os.best,
                sjisMb / os.median);
    std::printf("  quillara scanner alone, Shift_JIS   %8.1f  %8.1f\n", sjisMb / sc.best,
                sjisMb / sc.median);
    std::printf("  gumbo (full parse)                  %8.1f  %8.1f\n", mb / g.best, mb / g.median);
    std::printf("  libxml2 HTML parser                 %8.1f  %8.1f\n", mb / x.best, mb / x.median);
    std::printf("ratio analyzer/gumbo   best %.2f, median of rounds %.2f (goal >= 5)\n",
                g.best / o.best, gr.median);
    std::printf("ratio analyzer/libxml2 best %.2f, median of rounds %.2f (floor 3, goal >= 4)\n",
                x.best / o.best, xr.median);
    return sink == 0 ? 1 : 0;
}
