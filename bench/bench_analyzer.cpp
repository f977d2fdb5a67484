// The analyzer (conversion, scanning, link records) over a few MB of real Japanese pages,
// against gumbo (a full HTML5 parse) and libxml2's HTML parser on the same UTF-8 bytes.
// Goals: at least 5x gumbo and 3x libxml2.
#include "BenchCorpus.h"
#include "Engine/clsHtmlItem.h"
#include "Engine/clsHtmlScanner.h"
#include "Engine/clsUrlInformation.h"

#include <gumbo.h>
#include <libxml/HTMLparser.h>

#include <cstdio>
#include <cstring>
#include <memory>

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
    bool reportLink(int, const std::string&, const std::string&, const std::string&) override { return ++links; }
    bool reportResource(int, const std::string&, const std::string&) override { return true; }
    bool reportTitle(const std::string&) override { return true; }
};

} // namespace

int main()
{
    std::vector<std::string> utf8 = benchcorpus::pages("utf8");
    std::vector<std::string> sjis = benchcorpus::pages("sjis");
    if (utf8.empty()) {
        std::fprintf(stderr, "no corpus in %s\n", benchcorpus::directory().c_str());
        return 1;
    }
    // A few MB: the corpus four times over.
    std::vector<std::string> pages, sjisPages;
    for (int round = 0; round < 4; ++round) {
        pages.insert(pages.end(), utf8.begin(), utf8.end());
        sjisPages.insert(sjisPages.end(), sjis.begin(), sjis.end());
    }
    std::size_t bytes = 0, sjisBytes = 0;
    for (const auto& page : pages)
        bytes += page.size();
    for (const auto& page : sjisPages)
        sjisBytes += page.size();
    double mb = bytes / 1e6, sjisMb = sjisBytes / 1e6;
    std::size_t sink = 0;
    double ours = benchcorpus::bestSeconds(5, [&] {
        for (const auto& page : pages)
            sink += analyzePage(page);
    });
    double oursSjis = benchcorpus::bestSeconds(5, [&] {
        for (const auto& page : sjisPages)
            sink += analyzePage(page);
    });
    double scanner = benchcorpus::bestSeconds(5, [&] {
        for (const auto& page : sjisPages) {
            CountingScanner scan;
            scan.scanBlock(page.data(), page.size());
            scan.finishScan();
            sink += scan.links;
        }
    });
    double gumbo = benchcorpus::bestSeconds(5, [&] {
        for (const auto& page : pages) {
            GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
            sink += output->root != nullptr;
            gumbo_destroy_output(&kGumboDefaultOptions, output);
        }
    });
    double libxml = benchcorpus::bestSeconds(5, [&] {
        for (const auto& page : pages) {
            htmlDocPtr doc = htmlReadMemory(page.data(), static_cast<int>(page.size()), "page.html", "UTF-8",
                                            HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
            sink += doc != nullptr;
            xmlFreeDoc(doc);
        }
    });
    std::printf("analyzer benchmark: %zu pages, %.2f MB UTF-8 (%.2f MB Shift_JIS), blocks of %zu bytes\n",
                pages.size(), mb, sjisMb, blockSize);
    std::printf("  quillara analyzer, UTF-8 pages    %8.1f MB/s\n", mb / ours);
    std::printf("  quillara analyzer, Shift_JIS pages %7.1f MB/s\n", sjisMb / oursSjis);
    std::printf("  quillara scanner alone, Shift_JIS %8.1f MB/s\n", sjisMb / scanner);
    std::printf("  gumbo (full parse)                %8.1f MB/s\n", mb / gumbo);
    std::printf("  libxml2 HTML parser               %8.1f MB/s\n", mb / libxml);
    std::printf("ratio analyzer/gumbo   %.2f (goal >= 5)\n", gumbo / ours);
    std::printf("ratio analyzer/libxml2 %.2f (goal >= 3)\n", libxml / ours);
    return sink == 0 ? 1 : 0;
}
