// The one line format in which every benchmark reports a figure, collected by bench/run.sh
// into one table (bench/README.md):
//   BENCH <TAB> name <TAB> value <TAB> goal <TAB> what was measured
// The value is a plain number (a ratio, or a size); the goal is "<= x", ">= x" or "-" for a
// figure without a goal. Anything else a benchmark prints is left out of the table.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace BenchReport {

inline void Figure(const char* name, double value, const char* goal, const char* detail) {
    std::printf("BENCH\t%s\t%.3f\t%s\t%s\n", name, value, goal, detail);
    std::fflush(stdout);
}

// Milliseconds from the performance counter.
inline double Now() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace BenchReport
