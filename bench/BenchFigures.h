#pragma once

#include <algorithm>
#include <vector>

// Best and median of a bench's runs: the least disturbed run on a shared machine, and the
// median to judge the noise by. Best is the smallest value (a time).
namespace benchfigures {

struct Figures {
    double best = 0;
    double median = 0;
};

inline Figures summarise(std::vector<double> runs)
{
    std::sort(runs.begin(), runs.end());
    return {runs.front(), runs[runs.size() / 2]};
}

} // namespace benchfigures
