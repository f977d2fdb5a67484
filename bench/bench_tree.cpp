// `quillara-cli tree` on a generated 100,000-item cabinet as a whole process, output to
// /dev/null, against `xmllint --html --noout` on the same file, run in turn. Prints the best
// and the median of the wall time and of the processor time (user + system) of each, and
// the ratios (goal <= 0.5).
//
// bench_tree [RUNS] [ITEMS]   (defaults 7 and 100000)
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetGenerator.h"

#include "BenchFigures.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct Run {
    double wall = 0;
    double cpu = 0;
};

// Runs argv with standard output and error on /dev/null; false when it did not end with 0.
bool runOnce(const std::vector<std::string>& args, Run& run)
{
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return false;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        return false;
    }
    std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    run.wall = wall.count();
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

using benchfigures::Figures;
using benchfigures::summarise;

std::string findXmllint()
{
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin";
    for (size_t from = 0; from <= dirs.size();) {
        size_t to = dirs.find(':', from);
        std::string candidate =
            dirs.substr(from, to == std::string::npos ? std::string::npos : to - from) + "/xmllint";
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (to == std::string::npos) {
            break;
        }
        from = to + 1;
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::atoi(argv[1]) : 7;
    size_t items = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100000;
    std::string xmllint = findXmllint();
    if (runs <= 0 || items == 0 || xmllint.empty()) {
        std::fprintf(stderr, "usage: bench_tree [RUNS] [ITEMS]; xmllint must be on PATH\n");
        return 2;
    }
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("bench_tree." + std::to_string(::getpid()));
    fs::create_directories(dir);
    setenv("QUILLARA_HOME", dir.c_str(), 1);
    std::string cabinet = (dir / "cabinet.scb").string();
    std::string bytes = tviCabinetFile::write(tviCabinetGenerator::generate(items, 42));
    std::ofstream(cabinet, std::ios::binary) << bytes;

    std::vector<std::string> ours{QUILLARA_CLI, "tree", cabinet};
    std::vector<std::string> peer{xmllint, "--html", "--noout", cabinet};
    std::vector<double> oursWall, oursCpu, peerWall, peerCpu, wallRatio, cpuRatio;
    Run warm;
    runOnce(ours, warm);
    runOnce(peer, warm);
    for (int i = 0; i < runs; ++i) {
        Run a, b;
        if (!runOnce(ours, a) || !runOnce(peer, b)) {
            std::fprintf(stderr, "a run failed\n");
            fs::remove_all(dir);
            return 1;
        }
        oursWall.push_back(a.wall);
        oursCpu.push_back(a.cpu);
        peerWall.push_back(b.wall);
        peerCpu.push_back(b.cpu);
        wallRatio.push_back(a.wall / b.wall);
        cpuRatio.push_back(a.cpu / b.cpu);
    }
    fs::remove_all(dir);
    Figures ow = summarise(oursWall), oc = summarise(oursCpu), pw = summarise(peerWall),
            pc = summarise(peerCpu);
    Figures rw = summarise(wallRatio), rc = summarise(cpuRatio);
    std::printf("%zu items, %zu bytes, %d runs each in turn (seconds, best / median)\n", items,
                bytes.size(), runs);
    std::printf("  quillara-cli tree      wall %6.3f / %6.3f  cpu %6.3f / %6.3f\n", ow.best,
                ow.median, oc.best, oc.median);
    std::printf("  xmllint --html         wall %6.3f / %6.3f  cpu %6.3f / %6.3f\n", pw.best,
                pw.median, pc.best, pc.median);
    std::printf("ours/xmllint: wall best %.2f median of pairs %.2f  cpu best %.2f median of pairs "
                "%.2f  (goal <= 0.5)\n",
                ow.best / pw.best, rw.median, oc.best / pc.best, rc.median);
    return 0;
}
