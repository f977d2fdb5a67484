// A second link check of an unchanged cabinet against the first: the page cache lets the
// second ask with each page's validators, so the loopback server answers 304 and the pages are
// not sent again. Prints the bytes each check received (headers included) and the ratio
// second/first (goal < 0.05), with the time of each.
//
// bench_check_cache [ITEMS] [PAGE_BYTES]   (defaults 1000 and 20000)
#include "Engine/Http/clsUrlCache.h"
#include "TestHttpServer.h"
#include "TreeViewItem/Cabinet/tviCabinetCheck.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

struct CheckFigures {
    long long bytes = 0;
    size_t notModified = 0;
    size_t failed = 0;
    double seconds = 0;
};

std::string writeCabinet(const std::string& path, const testsupport::TestHttpServer& server,
                         size_t items, size_t pageBytes)
{
    tviCabinetDocument doc;
    doc.name = "bench";
    doc.productMark = true;
    for (size_t i = 0; i < items; ++i) {
        tviCabinetEntry e;
        e.name = "item " + std::to_string(i);
        e.url = server.url("/etag?key=" + std::to_string(i) + "&size=" + std::to_string(pageBytes));
        doc.entries.push_back(std::move(e));
    }
    std::ofstream(path, std::ios::binary) << tviCabinetFile::write(doc);
    return path;
}

CheckFigures check(const std::string& cabinet)
{
    clsEngineOptions options;
    options.paceIntervalMs = 0;
    CheckFigures figures;
    auto start = std::chrono::steady_clock::now();
    tviCabinetCheck run(options);
    if (!run.open(cabinet) || !run.run(3600 * 1000)) {
        std::fprintf(stderr, "check failed: %s\n", cabinet.c_str());
        std::exit(1);
    }
    figures.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const tviCheckResult& r : run.results()) {
        figures.bytes += r.wireBytes;
        figures.notModified += r.notModified ? 1 : 0;
    }
    figures.failed = run.failedCount();
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    size_t items = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
    size_t pageBytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 20000;
    if (items == 0) {
        std::fprintf(stderr, "usage: bench_check_cache [ITEMS] [PAGE_BYTES]\n");
        return 2;
    }
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("bench_check_cache." + std::to_string(::getpid()));
    fs::create_directories(dir);
    setenv("QUILLARA_HOME", dir.c_str(), 1);
    testsupport::TestHttpServer server(3600);
    std::string cabinet = writeCabinet((dir / "cache.scb").string(), server, items, pageBytes);
    if (!InitUrlCache((dir / "Cache").string() + "/", 1024ull * 1024 * 1024)) {
        std::fprintf(stderr, "cannot open the page cache under %s\n", dir.c_str());
        return 1;
    }
    CheckFigures first = check(cabinet);
    CheckFigures second = check(cabinet);
    TermUrlCache();
    fs::remove_all(dir);
    if (first.failed + second.failed > 0) {
        std::fprintf(stderr, "%zu and %zu items failed\n", first.failed, second.failed);
        return 1;
    }
    std::printf("check of %zu loopback pages of %zu bytes, then again with the page cache\n", items,
                pageBytes);
    std::printf("  first check   %12lld bytes  %4zu not modified  %7.3f s\n", first.bytes,
                first.notModified, first.seconds);
    std::printf("  second check  %12lld bytes  %4zu not modified  %7.3f s\n", second.bytes,
                second.notModified, second.seconds);
    std::printf("second/first bytes: %.4f  (goal < 0.05)\n",
                static_cast<double>(second.bytes) / static_cast<double>(first.bytes));
    return 0;
}
