// A snapshot of a page whose images sit on four loopback hosts (127.0.0.1 ... 127.0.0.4),
// with pacing per host at one request a second: once with the hosts' images interleaved in
// the page, once with each host's images together (as pages usually have them). Prints each
// run's time, the pacing bound (the busiest host's requests, one a second after its first)
// and their ratio. Then the same page through `wget -p -k -H` (no pacing): the files each
// saved, their bytes, and whether our saved page refers only to files it saved (so it opens
// offline).
//
//   bench_snapshot_hosts [--hosts N] [--images N] [--interval MS] [--no-peer]
#include "MultiHostServer.h"

#include "Engine/Core/clsEngineOptions.h"
#include "Engine/Core/clsEngineTarget.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Snapshot/clsSnapshotReport.h"
#include "Platform/MessageTarget.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Settings {
    int hosts = 4;
    int images = 40;
    int intervalMs = 1000;
    bool peer = true;
};

struct Target : clsEngineTarget {
    void onNodeNotify(int, clsQuillaraItem*, clsNodePhase) override {}
    void onSnapshotNotify(int, const clsSnapshotReport& report, clsSnapshotPhase phase) override
    {
        if (phase == clsSnapshotPhase::ended) {
            ended = true;
            last = report;
        }
    }
    bool ended = false;
    clsSnapshotReport last;
};

struct Files {
    std::map<std::string, std::uintmax_t> sizes; // name -> bytes
    std::uintmax_t total = 0;
};

// Image k of host h: "img/h-k.gif" on 127.0.0.h.
std::string page(const MultiHostServer& server, const Settings& s, bool grouped)
{
    int perHost = s.images / s.hosts;
    std::string html = "<html><head><title>hosts</title></head><body>\n";
    for (int i = 0; i < perHost * s.hosts; ++i) {
        int host = grouped ? i / perHost + 1 : i % s.hosts + 1;
        int k = grouped ? i % perHost : i / s.hosts;
        std::string name = std::to_string(host) + "-" + std::to_string(k) + ".gif";
        html += "<img src=\"" + server.url(host, "/img/" + name) + "\">\n";
    }
    return html + "</body></html>\n";
}

Files filesIn(const fs::path& folder)
{
    Files files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name == "snapshot" || name.starts_with("."))
            continue;
        files.sizes[name] = entry.file_size();
        files.total += entry.file_size();
    }
    return files;
}

// Every src of the saved page names a file that is there.
bool opensOffline(const fs::path& folder, const std::string& pageName)
{
    std::ifstream in(folder / pageName, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string html = text.str();
    static const std::regex src(R"re(src="([^"]*)")re");
    int count = 0;
    for (std::sregex_iterator it(html.begin(), html.end(), src), end; it != end; ++it, ++count)
        if ((*it)[1].str().find("://") != std::string::npos || !fs::exists(folder / (*it)[1].str()))
            return false;
    return count > 0;
}

struct Run {
    double seconds = 0;
    double boundSeconds = 0;
    int requests = 0;
    bool ok = false;
};

Run snapshot(MultiHostServer& server, const Settings& s, const std::string& url,
             const fs::path& folder)
{
    Target target;
    platform::QueueMessageTarget window;
    clsQuillaraEngine engine;
    window.setHandler([&engine](const platform::Message& m) { engine.handleMessage(m); });
    clsEngineOptions options;
    options.agentName = "QuillaraBench/1.0";
    options.paceIntervalMs = s.intervalMs;
    options.paceMode = clsPaceMode::perHost;
    engine.init(&target, &window, options);
    server.takeArrivals();
    Run run;
    int id = -1;
    auto start = std::chrono::steady_clock::now();
    if (!engine.startSnapshot(1, url, folder.string(), id))
        return run;
    auto giveUp = start + std::chrono::seconds(300);
    while (!target.ended && std::chrono::steady_clock::now() < giveUp)
        window.pump(10);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    engine.term();
    window.setHandler(&clsQuillaraEngine::DiscardMessage);
    while (window.pump(0) > 0) {
    }
    std::map<int, int> perHost;
    for (const MultiHostServer::Arrival& arrival : server.takeArrivals())
        ++perHost[arrival.host];
    int busiest = 0;
    for (const auto& [host, count] : perHost) {
        busiest = std::max(busiest, count);
        run.requests += count;
    }
    run.boundSeconds = std::max(0, busiest - 1) * s.intervalMs / 1000.0;
    run.ok = target.ended && target.last.topSaved && target.last.failedCount == 0;
    return run;
}

double wget(const std::string& url, const fs::path& folder, bool& ok)
{
    std::string command =
        "wget -q -p -k -H -nd -e robots=off -P '" + folder.string() + "' '" + url + "'";
    auto start = std::chrono::steady_clock::now();
    int status = std::system(command.c_str());
    ok = status == 0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    Settings s;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&] { return i + 1 < argc ? std::atoi(argv[++i]) : 0; };
        if (arg == "--hosts")
            s.hosts = std::max(1, next());
        else if (arg == "--images")
            s.images = std::max(1, next());
        else if (arg == "--interval")
            s.intervalMs = std::max(1, next());
        else if (arg == "--no-peer")
            s.peer = false;
    }
    MultiHostServer server(s.hosts, 600);
    if (!server.ok()) {
        std::fprintf(stderr, "bench_snapshot_hosts: cannot bind the loopback hosts\n");
        return 2;
    }
    fs::path work =
        fs::temp_directory_path() / ("quillara-bench-snapshot-" + std::to_string(::getpid()));
    fs::create_directories(work);
    std::printf("snapshot of %d images on %d loopback hosts, pacing per host %d ms\n", s.images,
                s.hosts, s.intervalMs);
    std::printf("%-12s %9s %9s %9s %9s\n", "order", "seconds", "bound", "ratio", "requests");
    bool allOk = true;
    for (bool grouped : {false, true}) {
        std::string name = grouped ? "grouped" : "interleaved";
        server.setPage("/" + name + ".html", page(server, s, grouped));
        Run run = snapshot(server, s, server.url(1, "/" + name + ".html"), work / ("ours-" + name));
        allOk = allOk && run.ok;
        std::printf("%-12s %9.2f %9.2f %9.3f %9d%s\n", name.c_str(), run.seconds, run.boundSeconds,
                    run.boundSeconds > 0 ? run.seconds / run.boundSeconds : 0.0, run.requests,
                    run.ok ? "" : "  (files failed)");
    }
    Files ours = filesIn(work / "ours-grouped");
    std::printf("ours: %zu files, %ju bytes; page opens offline: %s\n", ours.sizes.size(),
                ours.total, opensOffline(work / "ours-grouped", "grouped.html") ? "yes" : "NO");
    if (s.peer) {
        bool ok = false;
        double seconds = wget(server.url(1, "/grouped.html"), work / "wget", ok);
        if (!ok) {
            std::printf("wget -p -k: not run or failed (install wget)\n");
        } else {
            Files theirs = filesIn(work / "wget");
            std::set<std::string> a, b;
            for (const auto& [name, size] : ours.sizes)
                a.insert(name);
            for (const auto& [name, size] : theirs.sizes)
                b.insert(name);
            std::printf("wget -p -k -H (no pacing): %.2f s, %zu files, %ju bytes; same files: %s; "
                        "page opens offline: "
                        "%s\n",
                        seconds, theirs.sizes.size(), theirs.total, a == b ? "yes" : "NO",
                        opensOffline(work / "wget", "grouped.html") ? "yes" : "NO");
        }
    }
    std::error_code error;
    fs::remove_all(work, error);
    return allOk ? 0 : 1;
}
