// `quillara-cli check` with PacePerHost=1 against LinkChecker on the same links: 1,000 links
// over 200 loopback hosts (127.0.0.1 ... 127.0.0.200), 5% dead, 1% slow (the answer comes
// after 2 s), 2% redirected once, once with the hosts' links interleaved and once with each
// host's links together. With --silent N, N of the hosts take connections and never answer
// (each of their links fails after its time-out and retries; --timeout sets ConnectTimeout
// and ReceiveTimeout). Prints both times, their ratio, the bound (the slowest host's own
// requests: one a second, one at a time, a slow answer or a time-out holding the host's
// connection) and whether both found the same dead links. LinkChecker (Debian package
// linkchecker, scripts/install-deps --bench) runs with its defaults; without it, or with
// silent hosts (its time-out is a minute), only our side and the bound are measured.
//
//   bench_check_hosts [--order both|interleaved|grouped] [--runs N] [--hosts N] [--links N]
//                     [--dead PERCENT] [--slow PERCENT] [--redirect PERCENT] [--silent N]
//                     [--timeout SECONDS] [--no-peer] [--cli PATH]
#include "MultiHostServer.h"

#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

#ifndef QUILLARA_CLI_PATH
#define QUILLARA_CLI_PATH "quillara-cli"
#endif

namespace {

namespace fs = std::filesystem;

struct Settings {
    std::string order = "both";
    int runs = 1;
    int hosts = 200;
    int links = 1000;
    int deadPercent = 5;
    int slowPercent = 1;
    int redirectPercent = 2;
    int silentHosts = 0;
    int timeoutSeconds = 10;
    bool peer = true;
    std::string cli = QUILLARA_CLI_PATH;
};

constexpr double slowSeconds = 2.0;
constexpr int retryCount = 2; // the default of Communication/RetryCount

struct Link {
    int host = 0;
    std::string url;
    bool dead = false;
    bool slow = false;
    bool redirect = false;
};

struct Run {
    double seconds = 0;
    std::set<std::string> dead;
    std::map<std::string, std::string> why; // the peer's result text of each dead link
    bool ok = false;
};

bool isEvery(int index, int percent, int offset)
{
    int every = percent > 0 ? 100 / percent : 0;
    return every > 0 && index % every == (every / 2 + offset) % every;
}

// Every (100/silent)-th host never answers.
std::set<int> silentHostsOf(const Settings& s)
{
    std::set<int> silent;
    for (int h = 1; s.silentHosts > 0 && h <= s.hosts; ++h)
        if (h % std::max(1, s.hosts / s.silentHosts) == 0 &&
            static_cast<int>(silent.size()) < s.silentHosts)
            silent.insert(h);
    return silent;
}

// Links in host-major order: host h has links h*k..; every 100/deadPercent-th link is dead,
// and so on for slow and redirected ones; every link of a silent host is dead.
std::vector<Link> makeLinks(const MultiHostServer& server, const Settings& s,
                            const std::set<int>& silent)
{
    std::vector<Link> links;
    int perHost = (s.links + s.hosts - 1) / s.hosts;
    for (int h = 1; h <= s.hosts; ++h)
        for (int k = 0; k < perHost && static_cast<int>(links.size()) < s.links; ++k) {
            int index = static_cast<int>(links.size());
            Link link{h, {}, isEvery(index, s.deadPercent, 0), false, false};
            link.slow = !link.dead && isEvery(index, s.slowPercent, 7);
            link.redirect = !link.dead && !link.slow && isEvery(index, s.redirectPercent, 13);
            const char* route = link.dead       ? "/dead/"
                                : link.slow     ? "/slow/"
                                : link.redirect ? "/redirect/"
                                                : "/page/";
            link.url = server.url(h, route + std::to_string(h) + "-" + std::to_string(k) + ".html");
            link.dead = link.dead || silent.count(h) != 0;
            links.push_back(std::move(link));
        }
    return links;
}

// The least time a host's requests can take: one at a time on its one connection, starts at
// least a second apart, a slow answer or a time-out holding the connection. A silent host's
// link is sent 1 + retryCount times, each ending at the time-out; the back-offs between them
// can overlap the host's other requests. The last request adds its own length only.
double hostBound(const std::vector<Link>& links, bool silent, double timeout)
{
    std::vector<double> lengths;
    for (const Link& link : links) {
        if (silent) {
            lengths.insert(lengths.end(), 1 + retryCount, timeout);
            continue;
        }
        lengths.push_back(link.slow ? slowSeconds : 0.0);
        if (link.redirect)
            lengths.push_back(0.0);
    }
    std::sort(lengths.begin(), lengths.end());
    double total = 0;
    // The shortest goes last.
    for (std::size_t i = 1; i < lengths.size(); ++i)
        total += std::max(1.0, lengths[i]);
    return lengths.empty() ? 0 : total + lengths[0];
}

// The k-th link of every host, then the (k+1)-th of every host, and so on.
std::vector<Link> interleave(const std::vector<Link>& grouped)
{
    std::map<int, std::vector<Link>> byHost;
    for (const Link& link : grouped)
        byHost[link.host].push_back(link);
    std::vector<Link> mixed;
    for (std::size_t k = 0; mixed.size() < grouped.size(); ++k)
        for (auto& [host, list] : byHost)
            if (k < list.size())
                mixed.push_back(list[k]);
    return mixed;
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

void writeInputs(const std::vector<Link>& links, const fs::path& cabinet, const fs::path& page)
{
    tviCabinetDocument doc;
    doc.name = "bench";
    std::string html = "<html><head><title>links</title></head><body>\n";
    for (std::size_t i = 0; i < links.size(); ++i) {
        tviCabinetEntry entry;
        entry.type = 4;
        entry.name = "link " + std::to_string(i);
        entry.url = links[i].url;
        doc.entries.push_back(entry);
        html += "<a href=\"" + links[i].url + "\">link " + std::to_string(i) + "</a><br>\n";
    }
    writeFile(cabinet, tviCabinetFile::write(doc));
    writeFile(page, html + "</body></html>\n");
}

double secondsOf(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string runCommand(const std::string& command, int& status)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        status = -1;
        return output;
    }
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    status = ::pclose(pipe);
    return output;
}

// The "url" values of quillara-cli check --json whose "status" is 5 (failed; the list also
// holds the moved items).
std::set<std::string> deadOfQuillara(const std::string& json)
{
    std::set<std::string> dead;
    const std::string key = "\"url\":";
    const std::string statusKey = "\"status\":";
    for (std::size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
        std::size_t begin = json.find('"', at + key.size());
        std::string value;
        std::size_t i = begin + 1;
        for (; i < json.size() && json[i] != '"'; ++i) {
            if (json[i] == '\\' && i + 1 < json.size())
                ++i;
            value += json[i];
        }
        std::size_t status = json.find(statusKey, i);
        if (status != std::string::npos && std::atoi(json.c_str() + status + statusKey.size()) == 5)
            dead.insert(value);
    }
    return dead;
}

std::vector<std::string> splitCsv(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// LinkChecker's CSV: the header names the columns; a row whose "valid" is False is dead.
std::map<std::string, std::string> deadOfLinkChecker(const std::string& csv)
{
    std::map<std::string, std::string> dead;
    std::istringstream lines(csv);
    std::string line;
    int urlColumn = -1;
    int validColumn = -1;
    int resultColumn = -1;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields = splitCsv(line);
        if (urlColumn < 0) {
            for (std::size_t i = 0; i < fields.size(); ++i) {
                urlColumn = fields[i] == "url" ? static_cast<int>(i) : urlColumn;
                validColumn = fields[i] == "valid" ? static_cast<int>(i) : validColumn;
                resultColumn = fields[i] == "result" ? static_cast<int>(i) : resultColumn;
            }
            continue;
        }
        if (validColumn < 0 ||
            static_cast<int>(fields.size()) <= std::max({urlColumn, validColumn, resultColumn}))
            continue;
        if (fields[validColumn] == "False")
            dead[fields[urlColumn]] = resultColumn < 0 ? std::string() : fields[resultColumn];
    }
    return dead;
}

Run runQuillara(const Settings& s, const fs::path& dir, const fs::path& cabinet)
{
    fs::path home = dir / "home";
    fs::remove_all(home);
    fs::create_directories(home);
    writeFile(home / "Quillara.ini", "[Communication]\r\nPacePerHost=1\r\nConnectTimeout=" +
                                         std::to_string(s.timeoutSeconds) + "\r\nReceiveTimeout=" +
                                         std::to_string(s.timeoutSeconds) + "\r\n");
    std::string command = "QUILLARA_HOME='" + home.string() + "' '" + s.cli +
                          "' check --json --timeout 3600 '" + cabinet.string() + "' 2>/dev/null";
    Run run;
    int status = 0;
    std::string output;
    run.seconds = secondsOf([&] { output = runCommand(command, status); });
    run.dead = deadOfQuillara(output);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) <= 1;
    return run;
}

Run runLinkChecker(const fs::path& dir, const fs::path& page)
{
    fs::path home = dir / "lc-home";
    fs::create_directories(home);
    // Its defaults (10 threads, 10 requests a second per host); no user configuration.
    std::string command = "HOME='" + home.string() +
                          "' NO_PROXY='*' no_proxy='*' linkchecker --check-extern "
                          "--no-status --no-warnings -o csv '" +
                          page.string() + "' 2>/dev/null";
    Run run;
    int status = 0;
    std::string output;
    run.seconds = secondsOf([&] { output = runCommand(command, status); });
    run.why = deadOfLinkChecker(output);
    for (const auto& [url, why] : run.why)
        run.dead.insert(url);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) <= 1;
    return run;
}

bool haveLinkChecker()
{
    return std::system("command -v linkchecker >/dev/null 2>&1") == 0;
}

// Shortest time between two requests to one host, from the server's record.
std::uint64_t shortestGap(const std::vector<MultiHostServer::Arrival>& arrivals)
{
    std::map<int, std::vector<std::uint64_t>> byHost;
    for (const auto& arrival : arrivals)
        if (arrival.path != "/robots.txt")
            byHost[arrival.host].push_back(arrival.tick);
    std::uint64_t shortest = ~std::uint64_t{0};
    for (auto& [host, ticks] : byHost) {
        std::sort(ticks.begin(), ticks.end());
        for (std::size_t i = 1; i < ticks.size(); ++i)
            shortest = std::min(shortest, ticks[i] - ticks[i - 1]);
    }
    return shortest;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

std::string agreement(const std::set<std::string>& found, const std::set<std::string>& expected)
{
    std::size_t missed = 0;
    for (const std::string& url : expected)
        missed += found.count(url) == 0 ? 1 : 0;
    std::size_t extra = found.size() + missed - expected.size();
    return std::to_string(found.size()) + " dead (" +
           (missed == 0 && extra == 0
                ? "exact"
                : std::to_string(missed) + " missed, " + std::to_string(extra) + " extra") +
           ")";
}

void runOrder(const std::string& name, const std::vector<Link>& links, MultiHostServer& server,
              const Settings& s, const fs::path& dir, bool peer, const std::set<int>& silent)
{
    fs::path cabinet = dir / (name + ".scb");
    fs::path page = dir / (name + ".html");
    writeInputs(links, cabinet, page);
    std::set<std::string> expected;
    std::map<int, std::vector<Link>> perHost;
    for (const Link& link : links) {
        if (link.dead)
            expected.insert(link.url);
        perHost[link.host].push_back(link);
    }
    int busiest = 0;
    double bound = 0;
    for (const auto& [host, list] : perHost) {
        double own = hostBound(list, silent.count(host) != 0, s.timeoutSeconds);
        if (own > bound) {
            bound = own;
            busiest = host;
        }
    }
    double goal = silent.empty() ? 1.1 : 1.2;

    std::vector<double> ours;
    std::vector<double> theirs;
    Run lastOurs;
    Run lastTheirs;
    std::uint64_t gap = ~std::uint64_t{0};
    for (int r = 0; r < s.runs; ++r) {
        server.takeArrivals();
        lastOurs = runQuillara(s, dir, cabinet);
        gap = std::min(gap, shortestGap(server.takeArrivals()));
        ours.push_back(lastOurs.seconds);
        if (!peer)
            continue;
        lastTheirs = runLinkChecker(dir, page);
        server.takeArrivals();
        theirs.push_back(lastTheirs.seconds);
    }
    double best = *std::min_element(ours.begin(), ours.end());
    std::printf("%s: %zu links over %zu hosts (%zu silent, time-out %d s), %zu dead; bound %.1f s "
                "(host %d's own "
                "requests)\n",
                name.c_str(), links.size(), perHost.size(), silent.size(), s.timeoutSeconds,
                expected.size(), bound, busiest);
    std::printf("  quillara-cli check, PacePerHost=1: best %.2f s, median %.2f s of %d; %s%s; "
                "shortest gap to one host %llu ms\n",
                best, median(ours), s.runs, agreement(lastOurs.dead, expected).c_str(),
                lastOurs.ok ? "" : " (exit status!)", static_cast<unsigned long long>(gap));
    std::printf("  against the bound: %.2fx (goal <= %.1fx)\n", bound > 0 ? best / bound : 0.0,
                goal);
    if (!peer)
        return;
    double peerBest = *std::min_element(theirs.begin(), theirs.end());
    std::printf("  LinkChecker (defaults):          best %.2f s, median %.2f s of %d; %s%s\n",
                peerBest, median(theirs), s.runs, agreement(lastTheirs.dead, expected).c_str(),
                lastTheirs.ok ? "" : " (exit status!)");
    std::printf("  ratio quillara/LinkChecker: %.2fx (goal <= 0.8x); dead sets %s\n",
                best / peerBest, lastOurs.dead == lastTheirs.dead ? "agree" : "DIFFER");
    int shown = 0;
    for (const auto& [url, why] : lastTheirs.why)
        if (expected.count(url) == 0 && shown++ < 5)
            std::printf("    LinkChecker also failed %s: %s\n", url.c_str(), why.c_str());
}

bool parse(int argc, char** argv, Settings& s)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--no-peer")
            s.peer = false;
        else if (arg == "--order" && hasValue)
            s.order = argv[++i];
        else if (arg == "--runs" && hasValue)
            s.runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--hosts" && hasValue)
            s.hosts = std::clamp(std::atoi(argv[++i]), 1, 254);
        else if (arg == "--links" && hasValue)
            s.links = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--dead" && hasValue)
            s.deadPercent = std::clamp(std::atoi(argv[++i]), 0, 100);
        else if (arg == "--slow" && hasValue)
            s.slowPercent = std::clamp(std::atoi(argv[++i]), 0, 100);
        else if (arg == "--redirect" && hasValue)
            s.redirectPercent = std::clamp(std::atoi(argv[++i]), 0, 100);
        else if (arg == "--silent" && hasValue)
            s.silentHosts = std::max(0, std::atoi(argv[++i]));
        else if (arg == "--timeout" && hasValue)
            s.timeoutSeconds = std::clamp(std::atoi(argv[++i]), 1, 3600);
        else if (arg == "--cli" && hasValue)
            s.cli = argv[++i];
        else
            return false;
    }
    return s.order == "both" || s.order == "interleaved" || s.order == "grouped";
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Settings s;
    if (!parse(argc, argv, s)) {
        std::fprintf(
            stderr,
            "usage: bench_check_hosts [--order both|interleaved|grouped] [--runs N] [--hosts N] "
            "[--links N] [--dead PERCENT] [--slow PERCENT] [--redirect PERCENT] [--silent N] "
            "[--timeout SECONDS] [--no-peer] [--cli PATH]\n");
        return 2;
    }
    MultiHostServer server(s.hosts, 4 * 3600);
    if (!server.ok()) {
        std::fprintf(stderr, "bench_check_hosts: cannot listen on 127.0.0.1 ... 127.0.0.%d\n",
                     s.hosts);
        return 1;
    }
    std::set<int> silent = silentHostsOf(s);
    server.setSilentHosts(silent);
    bool peer = s.peer && silent.empty() && haveLinkChecker();
    if (s.peer && silent.empty() && !peer)
        std::printf("LinkChecker not found (scripts/install-deps --bench installs it): measuring "
                    "quillara only\n");
    fs::path dir = fs::temp_directory_path() / ("bench_check_hosts." + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::vector<Link> grouped = makeLinks(server, s, silent);
    if (s.order != "grouped")
        runOrder("interleaved", interleave(grouped), server, s, dir, peer, silent);
    if (s.order != "interleaved")
        runOrder("grouped", grouped, server, s, dir, peer, silent);
    fs::remove_all(dir);
    return 0;
}
