#pragma once

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

// The Japanese corpus of tools/make-corpus (tests/data/corpus), read for the benchmarks.
namespace benchcorpus {

inline std::filesystem::path directory()
{
    return std::filesystem::path(QUILLARA_SOURCE_DIR) / "tests" / "data" / "corpus";
}

inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Every page of one code ("sjis", "euc", "jis", "utf8"), in name order.
inline std::vector<std::string> pages(const std::string& suffix)
{
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(directory())) {
        if (entry.path().string().ends_with("." + suffix + ".html"))
            paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> out;
    for (const auto& path : paths)
        out.push_back(readFile(path));
    return out;
}

// Best of repeats, in seconds: the least disturbed run on a shared machine.
inline double bestSeconds(int repeats, const std::function<void()>& run)
{
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

} // namespace benchcorpus
