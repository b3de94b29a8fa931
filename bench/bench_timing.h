#pragma once

// Timing shared by the benchmarks: a monotonic clock in seconds and the median
// of repeated runs.

#include <windows.h>

#include <algorithm>
#include <vector>

namespace qel::bench {

inline double now()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / frequency;
}

// The median of several runs, in seconds.
template <typename Run> double median(int repetitions, Run run)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        const double start = now();
        run();
        times.push_back(now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace qel::bench
