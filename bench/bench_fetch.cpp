// The fetch engine against plain libcurl: 1,000 GETs to the loopback server with pacing off,
// the engine with its four workers against four threads on reused easy handles; then a
// paced run, whose length must be one interval per request; then a re-check: the same pages
// fetched again with conditional requests from the page cache, bytes and time against the
// first round.
#include "Engine/Core/clsBlockItem.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Engine/Core/clsEngineTarget.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Http/clsUrlCache.h"
#include "Engine/Http/clsUrlInformation.h"
#include "TestHttpServer.h"
#include "Platform/MessageTarget.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <curl/curl.h>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<std::string> addresses(const testsupport::TestHttpServer& server, int count,
                                   const std::string& tag)
{
    std::vector<std::string> list;
    for (int i = 0; i < count; ++i)
        list.push_back(server.url("/text?size=2000&" + tag + "=" + std::to_string(i)));
    return list;
}

// Counts the requests that have had a final notification (ids are small and dense), without
// an allocation per request, so that the count costs the engine's side next to nothing.
class Ends : public clsEngineTarget {
public:
    void onNodeNotify(int id, clsQuillaraItem*, clsNodePhase phase) override
    {
        if (phase != clsNodePhase::complete || id < 0)
            return;
        if (static_cast<std::size_t>(id) >= seen.size())
            seen.resize(static_cast<std::size_t>(id) * 2 + 1, 0);
        if (seen[static_cast<std::size_t>(id)] == 0) {
            seen[static_cast<std::size_t>(id)] = 1;
            ++ended;
        }
    }
    std::size_t ended = 0;
    std::vector<char> seen;
};

struct Totals {
    int failed = 0;
    int notModified = 0;
    long long wireBytes = 0; // received over the network, headers included
};

double runEngine(const std::vector<std::string>& list, clsEngineOptions options, Totals& totals);

// Seconds for the engine to fetch every address; failed counts those that did not complete.
double runEngine(const std::vector<std::string>& list, clsEngineOptions options, int& failed)
{
    Totals totals;
    double seconds = runEngine(list, std::move(options), totals);
    failed = totals.failed;
    return seconds;
}

double runEngine(const std::vector<std::string>& list, clsEngineOptions options, Totals& totals)
{
    Ends ends;
    platform::QueueMessageTarget window;
    clsQuillaraEngine engine;
    window.setHandler([&engine](const platform::Message& m) { engine.handleMessage(m); });
    engine.init(&ends, &window, options);
    auto start = Clock::now();
    std::vector<clsUrlInformation*> held;
    for (const std::string& address : list) {
        clsUrlInformation* info = nullptr;
        engine.requestItem(clsRequestMode::read, 0, address, info);
        held.push_back(info);
    }
    while (ends.ended < held.size())
        window.pump(50);
    double seconds = secondsSince(start);
    totals = Totals{};
    for (clsUrlInformation* info : held) {
        totals.failed += info->getStatus() == clsRequestStatus::complete ? 0 : 1;
        totals.notModified += info->isNotModified() ? 1 : 0;
        totals.wireBytes += info->getWireBytes();
        info->releaseQueueRef();
    }
    engine.term();
    window.setHandler(&clsQuillaraEngine::DiscardMessage);
    while (window.pump(0) > 0) {
    }
    return seconds;
}

double best(const std::vector<double>& times)
{
    return times.empty() ? 0.0 : *std::min_element(times.begin(), times.end());
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median over rounds of peer time / our time.
double medianRatio(const std::vector<double>& peer, const std::vector<double>& ours)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < std::min(peer.size(), ours.size()); ++i)
        ratios.push_back(ours[i] > 0 ? peer[i] / ours[i] : 0.0);
    return median(ratios);
}

std::size_t countBytes(char*, std::size_t size, std::size_t count, void* user)
{
    *static_cast<std::size_t*>(user) += size * count;
    return size * count;
}

// Seconds for four threads, each with one reused easy handle, to fetch the same addresses.
double runCurl(const std::vector<std::string>& list, int& failed)
{
    constexpr int threads = 4;
    std::vector<int> failures(threads, 0);
    auto start = Clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            CURL* easy = curl_easy_init();
            std::size_t bytes = 0;
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &countBytes);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, &bytes);
            curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
            for (std::size_t i = t; i < list.size(); i += threads) {
                curl_easy_setopt(easy, CURLOPT_URL, list[i].c_str());
                long code = 0;
                if (curl_easy_perform(easy) != CURLE_OK ||
                    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK ||
                    code != 200)
                    ++failures[t];
            }
            curl_easy_cleanup(easy);
        });
    for (auto& worker : workers)
        worker.join();
    double seconds = secondsSince(start);
    failed = 0;
    for (int f : failures)
        failed += f;
    return seconds;
}

// The same pages checked twice with the analysis that keeps them in the page cache: the second
// round asks with If-None-Match / If-Modified-Since and is answered 304. The pages have the
// size of a modest HTML page: at 2000 bytes a 304's header alone would be about 6 % of a 200.
constexpr std::size_t recheckPageBytes = 16 * 1024;

void recheck(const testsupport::TestHttpServer& server, int count, const clsEngineOptions& options)
{
    std::filesystem::path cache = std::filesystem::temp_directory_path() /
                                  ("bench_fetch_cache_" + std::to_string(::getpid()));
    InitUrlCache(cache.string() + "/", std::uint64_t(256) << 20);
    std::vector<std::string> list;
    for (int i = 0; i < count; ++i)
        list.push_back(server.url("/etag?size=" + std::to_string(recheckPageBytes) +
                                  "&key=" + std::to_string(i)));
    Totals first;
    Totals second;
    double firstSeconds = runEngine(list, options, first);
    double secondSeconds = runEngine(list, options, second);
    TermUrlCache();
    std::error_code ignored;
    std::filesystem::remove_all(cache, ignored);
    std::printf("re-check: %d loopback pages of %zu bytes with HTML analysis, then again with "
                "conditional requests\n",
                count, recheckPageBytes);
    std::printf("  first round:  %.3f s, %lld bytes received (%d failed)\n", firstSeconds,
                first.wireBytes, first.failed);
    std::printf("  second round: %.3f s, %lld bytes received (%d failed, %d answered 304)\n",
                secondSeconds, second.wireBytes, second.failed, second.notModified);
    std::printf(
        "  bytes %.1f%% of the first round (goal < 5%%), time %.2fx\n",
        first.wireBytes > 0 ? second.wireBytes * 100.0 / static_cast<double>(first.wireBytes) : 0.0,
        firstSeconds > 0 ? secondSeconds / firstSeconds : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    int paced = argc > 2 ? std::atoi(argv[2]) : 10;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    testsupport::TestHttpServer server(600);

    clsEngineOptions options;
    options.paceIntervalMs = 0;
    options.nodeFactory = [](int) -> clsQuillaraItem* { return new clsBlockItem(); };
    int curlFailed = 0;
    int engineFailed = 0;
    int analysedFailed = 0;
    // Warm both up once so that neither pays for first connections alone; then interleaved
    // rounds, as the machine is shared: the best of each, and the median of the rounds' ratios
    // (each round's sides ran under about the same load).
    int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 9;
    runCurl(addresses(server, 40, "warm"), curlFailed);
    std::vector<double> curlTimes;
    std::vector<double> engineTimes;
    std::vector<double> analysedTimes;
    clsEngineOptions analysed = options;
    analysed.nodeFactory = nullptr;
    // A third argument "curl", "engine" or "blocks" (the engine with block nodes only) runs only
    // that side, and no re-check (for profiling). A fourth gives the number of rounds.
    std::string only = argc > 3 ? argv[3] : "";
    if (only == "all")
        only.clear();
    for (int round = 0; round < rounds; ++round) {
        std::string tag = std::to_string(round);
        int failed = 0;
        if (only != "engine" && only != "blocks") {
            curlTimes.push_back(runCurl(addresses(server, count, "curl" + tag), failed));
            curlFailed += failed;
        }
        if (only == "curl")
            continue;
        engineTimes.push_back(runEngine(addresses(server, count, "engine" + tag), options, failed));
        engineFailed += failed;
        if (only == "blocks")
            continue;
        analysedTimes.push_back(
            runEngine(addresses(server, count, "analysed" + tag), analysed, failed));
        analysedFailed += failed;
    }

    std::printf("fetch: %d loopback GETs of 2000 bytes, pacing off, %d rounds (best, median)\n",
                count, rounds);
    std::printf("  libcurl, 4 threads, reused easy handles: %.3f s, %.3f s (%.0f/s, %d failed)\n",
                best(curlTimes), median(curlTimes), count / best(curlTimes), curlFailed);
    std::printf("  engine + transport (block nodes):        %.3f s, %.3f s (%.0f/s, %d failed)\n",
                best(engineTimes), median(engineTimes), count / best(engineTimes), engineFailed);
    std::printf("  engine + transport + HTML analysis:      %.3f s, %.3f s (%.0f/s, %d failed)\n",
                best(analysedTimes), median(analysedTimes), count / best(analysedTimes),
                analysedFailed);
    std::printf(
        "  ratio engine/libcurl throughput: best %.2fx, median of rounds %.2fx (goal 1.00x); "
        "with analysis %.2fx, %.2fx\n",
        best(curlTimes) / best(engineTimes), medianRatio(curlTimes, engineTimes),
        best(curlTimes) / best(analysedTimes), medianRatio(curlTimes, analysedTimes));

    if (paced > 1) {
        clsEngineOptions pacedOptions = options;
        pacedOptions.paceIntervalMs = 1000;
        int pacedFailed = 0;
        double pacedSeconds =
            runEngine(addresses(server, paced, "paced"), pacedOptions, pacedFailed);
        // The first request leaves at once, each further one a second later.
        double expected = paced - 1;
        std::printf("paced: %d requests in %.3f s, expected %.1f s (%+.1f%%, goal within 5%%)\n",
                    paced, pacedSeconds, expected, (pacedSeconds - expected) * 100.0 / expected);
    }
    if (only.empty())
        recheck(server, count, analysed);
    curl_global_cleanup();
    return 0;
}
